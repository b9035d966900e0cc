// The four operations behind /w, /i, /b and /v. Each returns 0, or 1 with ErrorOccurred set and
// its own message printed. A linker that stops answering, or a stop on request
// (interruption.h), ends an operation as a failure at its next check.
#pragma once

#include <cstdint>
#include <vector>

namespace tidewick {

int FlashFile();
int ShowCartridgeInfo();
int BackupCartridge();
int VerifyFile();

// The bulk operations ask the linker whether it still answers at every 32 KB block and once
// more before they report success: a silent linker reads 0xFF, like erased flash.
inline constexpr std::uint32_t kLinkCheckStep = 0x8000;

// Shared by the operations.
void PrintProgress(const char* format, std::uint32_t offset, std::uint32_t divisor);

// Prints "\rFlash Linker stopped answering at 0x%06X!\n" with the offset the operation had
// reached, sets ErrorOccurred and returns 1.
int ReportLinkLost(std::uint32_t offset);

// Reads FileArgument whole for /w or /v. When it cannot, prints `cant_open` (with the reason
// when it is not a regular file) and returns 1 with ErrorOccurred set. A file longer than any
// cartridge is not read: `bytes` stays empty, `size` holds its length, and CheckFileFits then
// refuses it.
int LoadFileArgument(const char* cant_open, std::vector<std::uint8_t>* bytes, std::uint64_t* size);

// The size test before a file is written or compared: 1 with the message when the file is
// longer than the cartridge, or when the linker stopped answering (reported at `offset`).
int CheckFileFits(std::uint64_t size, std::uint32_t offset);

// Before /w or /v reports success: 1 with the message when FileArgument no longer holds
// `bytes`, the copy the operation worked from.
int CheckFileUnchanged(const std::vector<std::uint8_t>& bytes);

}  // namespace tidewick
