#include <cstdint>
#include <cstdio>

#include "tidewick/header.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"

namespace tidewick {
namespace {

// The bytes go to the console as they are, control characters and NULs included.
void PrintQuotedBytes(const char* label, std::uint32_t count) {
    std::printf("%s\"", label);
    for (std::uint32_t i = 0; i < count; ++i) std::printf("%c", ReadData());
    std::printf("\"\n");
}

std::uint32_t ReadLittleEndian(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint32_t{ReadData()} << (8 * i);
    return value;
}

}  // namespace

int ShowCartridgeInfo() {
    ResetChips();
    // One sequential run from address 0 covers all 52 bytes.
    SetAddress(kMarkerOffset, true);
    PrintQuotedBytes("License string  : ", kMarkerLength);
    std::printf("Startup address : 0x%06X\n", ReadLittleEndian(4));
    std::printf("ID code         : 0x%04X\n", ReadLittleEndian(2));
    std::printf("ID sub-code     : 0x%02X\n", ReadLittleEndian(1));
    std::printf("Color compatable: %s\n", (ReadData() & kColourBit) ? "yes" : "no");
    PrintQuotedBytes("Title           : ", kShownTitleLength);
    return 0;
}

}  // namespace tidewick
