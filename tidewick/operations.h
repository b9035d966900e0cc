// The four operations behind /w, /i, /b and /v. Each returns 0, or 1 with ErrorOccurred set and
// its own message printed.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tidewick {

int FlashFile();
int ShowCartridgeInfo();
int BackupCartridge();
int VerifyFile();

// Shared by the bulk operations.
std::uint32_t FileLength(std::FILE* file);
void PrintProgress(const char* format, std::uint32_t offset, std::uint32_t divisor);
// After fgetc gave EOF: true, with the file closed, the message printed and ErrorOccurred set,
// when that was a read error (a directory, a failing disk) rather than the end of the file.
bool ReportReadError(std::FILE* file, std::uint32_t offset);

}  // namespace tidewick
