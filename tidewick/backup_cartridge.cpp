#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tidewick/console.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

// A backup that did not reach the disk whole must not end as a success.
int WriteFailed(int error) {
    std::printf("\rCan't write backup file: %s!\n", std::strerror(error));
    ErrorOccurred = true;
    return 1;
}

}  // namespace

int BackupCartridge() {
    if (FileArgument != nullptr) {
        if (std::FILE* existing = std::fopen(FileArgument, "rb")) {
            std::fclose(existing);
            // Asked even with /y: a backup must not replace a file unasked.
            if (!Ask("Overwrite file with backup?\n")) return 0;
        }
    }
    std::FILE* file = FileArgument != nullptr ? std::fopen(FileArgument, "wb") : nullptr;
    if (file == nullptr) {
        std::printf("Can't open file!\n");
        ErrorOccurred = true;
        return 1;
    }
    ResetChips();
    const std::uint32_t total = MeasureCartridgeSize();
    const std::uint32_t divisor = ProgressDivisor(total);
    for (std::uint32_t offset = 0; offset < total; ++offset) {
        if (offset % kProgressStep == 0) {
            SetAddress(offset, true);
            PrintProgress("\rBacking up... 0x%06X (%d%%)", offset, divisor);
        }
        if (std::fputc(ReadData(), file) == EOF) {
            int error = errno;
            std::fclose(file);
            return WriteFailed(error);
        }
    }
    errno = 0;
    if (std::fclose(file) != 0) return WriteFailed(errno);
    std::printf("\n");
    return 0;
}

}  // namespace tidewick
