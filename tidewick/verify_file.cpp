#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "tidewick/interruption.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {

int VerifyFile() {
    std::vector<std::uint8_t> file;
    std::uint64_t length = 0;
    if (LoadFileArgument("Can't open file for verify!\n", &file, &length) != 0) return 1;
    ResetChips();
    // Past the cartridge's end the reads repeat its start, which could pass for the file's tail.
    if (CheckFileFits(length, 0) != 0) return 1;

    const auto size = static_cast<std::uint32_t>(file.size());
    const std::uint32_t divisor = ProgressDivisor(size);
    // One address load per 256 bytes, then the linker reads on by itself: a run the port can
    // pass on at once, compared after.
    std::array<std::uint8_t, kProgressStep> cart{};
    for (std::uint32_t offset = 0; offset <= size; offset += kProgressStep) {
        if (Interrupted()) return ReportInterruption();
        if (offset != 0 && offset < size && offset % kLinkCheckStep == 0 && CheckLinker() != 0) {
            return ReportLinkLost(offset);
        }
        PrintProgress("\rVerifying... 0x%06X (%d%%)", offset, divisor);
        SetAddress(offset, true);
        if (offset == size) break;
        const std::uint32_t n = std::min(kProgressStep, size - offset);
        ReadDataRun(cart.data(), n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint8_t d = file[offset + i];
            if (cart[i] == d) continue;
            SetAddress(offset + i, false);
            const std::uint8_t r = ReadData();
            if (CheckLinker() != 0) return ReportLinkLost(offset + i);
            std::printf("\rVerify error at 0x%06X (w:0x%02X, r:0x%02X)!\n", offset + i,
                        static_cast<unsigned>(d), static_cast<unsigned>(r));
            return Failed();
        }
    }
    if (CheckLinker() != 0) return ReportLinkLost(size);
    if (CheckFileUnchanged(file) != 0) return 1;
    std::printf("\n");
    return 0;
}

}  // namespace tidewick
