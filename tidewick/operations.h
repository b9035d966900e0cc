// The four operations behind /w, /i, /b and /v. Each returns 0, or 1 with ErrorOccurred set and
// its own message printed. A stop on request (interruption.h) ends an operation as a failure
// at its next safe point.
#pragma once

#include <cstdint>
#include <vector>

namespace tidewick {

int FlashFile();
int ShowCartridgeInfo();
int BackupCartridge();
int VerifyFile();

// Shared by the operations.
void PrintProgress(const char* format, std::uint32_t offset, std::uint32_t divisor);

// Reads FileArgument whole for /w or /v. When it cannot, prints `cant_open` (with the reason
// when it is not a regular file) and returns 1 with ErrorOccurred set. A file longer than any
// cartridge is not read: `bytes` stays empty, `size` holds its length, and CheckFileFits then
// refuses it.
int LoadFileArgument(const char* cant_open, std::vector<std::uint8_t>* bytes, std::uint64_t* size);

// The size test before a file is written or compared: 1 with the message when the file is
// longer than the cartridge.
int CheckFileFits(std::uint64_t size);

// Before /w or /v reports success: 1 with the message when FileArgument no longer holds
// `bytes`, the copy the operation worked from.
int CheckFileUnchanged(const std::vector<std::uint8_t>& bytes);

}  // namespace tidewick
