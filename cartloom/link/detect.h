// Whether a cartridge answers, and how big it is.
#pragma once

#include <cstdint>

// Detected size in bytes: 0 before the first detection, then 0x200000 or 0x400000. A failed
// detection leaves it unchanged.
extern std::uint32_t CartSize;

// CartSize as at program start (0).
void ResetDetectionState();

// 0x00 no cartridge, 0x10 16 Mbit, 0x20 32 Mbit. Call only after FindLink succeeded.
std::uint8_t DetectCart();
