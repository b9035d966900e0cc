#include <cstdio>

#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {

std::uint32_t FileLength(std::FILE* file) {
    std::fseek(file, 0, SEEK_END);
    long length = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    return length < 0 ? 0 : static_cast<std::uint32_t>(length);
}

void PrintProgress(const char* format, std::uint32_t offset, std::uint32_t divisor) {
    std::printf(format, offset, ProgressPercent(offset, divisor));
    // The line has no newline; without this a terminal would show it only now and then.
    std::fflush(stdout);
}

bool ReportReadError(std::FILE* file, std::uint32_t offset) {
    if (!std::ferror(file)) return false;
    std::printf("\rFile read error at 0x%06X!\n", offset);
    std::fclose(file);
    ErrorOccurred = true;
    return true;
}

}  // namespace tidewick
