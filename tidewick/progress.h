// The percentage on the progress line: offset / ((total - 256) / 100) in unsigned 32-bit
// arithmetic, so that the last 256-byte block of a cartridge-sized total shows 100.
#pragma once

#include <cstdint>

namespace tidewick {

inline constexpr std::uint32_t kProgressStep = 256;

// Computed once per operation. Totals of 256 to 355 bytes give 0, which ProgressPercent treats
// specially; totals below 256 wrap round to a huge divisor and always show 0.
std::uint32_t ProgressDivisor(std::uint32_t total);

int ProgressPercent(std::uint32_t offset, std::uint32_t divisor);

}  // namespace tidewick
