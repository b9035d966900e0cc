#include "cartloom/link/detect.h"

#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"

std::uint32_t CartSize = 0;

void ResetDetectionState() {
    CartSize = 0;
}

std::uint8_t DetectCart() {
    SelectChip1();
    // Chip 1 alone decides whether a cartridge is there; a failure keeps the last size.
    if (CheckFlashId() != 0) return 0x00;
    CartSize = 0x400000;
    SelectChip2();
    if (CheckFlashId() == 0) return 0x20;
    CartSize = 0x200000;
    return 0x10;
}
