#include "tidewick/progress.h"

namespace tidewick {

std::uint32_t ProgressDivisor(std::uint32_t total) {
    return (total - kProgressStep) / 100;
}

int ProgressPercent(std::uint32_t offset, std::uint32_t divisor) {
    // A total of 256 to 355 bytes has lines at offset 0 and 256 only, and 256 starts its last
    // block (or is its end): show 0 and 100, as the cartridge sizes do at those points.
    if (divisor == 0) return offset == 0 ? 0 : 100;
    return static_cast<int>(offset / divisor);
}

}  // namespace tidewick
