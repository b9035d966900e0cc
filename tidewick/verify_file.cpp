#include <cstdio>

#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {

int VerifyFile() {
    std::FILE* file = FileArgument != nullptr ? std::fopen(FileArgument, "rb") : nullptr;
    if (file == nullptr) {
        std::printf("Can't open file for verify!\n");
        ErrorOccurred = true;
        return 1;
    }
    const std::uint32_t divisor = ProgressDivisor(FileLength(file));
    ResetChips();
    for (std::uint32_t offset = 0;; ++offset) {
        if (offset % kProgressStep == 0) {
            PrintProgress("\rVerifying... 0x%06X (%d%%)", offset, divisor);
            SetAddress(offset, true);
        }
        int d = std::fgetc(file);
        if (d == EOF) {
            if (ReportReadError(file, offset)) return 1;
            break;
        }
        if (ReadData() == d) continue;
        SetAddress(offset, false);
        std::printf("\rVerify error at 0x%06X (w:0x%02X, r:0x%02X)!\n", offset,
                    static_cast<unsigned>(d), static_cast<unsigned>(ReadData()));
        std::fclose(file);
        ErrorOccurred = true;
        return 1;
    }
    std::printf("\n");
    std::fclose(file);
    return 0;
}

}  // namespace tidewick
