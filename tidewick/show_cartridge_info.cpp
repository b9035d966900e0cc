#include <array>
#include <cstdint>
#include <cstdio>

#include "tidewick/header.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"

namespace tidewick {
namespace {

// Everything the info shows, from the marker text to the end of the 16 title characters.
constexpr std::uint32_t kShownBytes = kTitleOffset + kShownTitleLength;

// The bytes go to the console as they are, control characters and NULs included.
void PrintQuotedBytes(const char* label, const std::uint8_t* bytes, std::uint32_t count) {
    std::printf("%s\"", label);
    for (std::uint32_t i = 0; i < count; ++i) std::printf("%c", bytes[i]);
    std::printf("\"\n");
}

std::uint32_t LittleEndian(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
    return value;
}

}  // namespace

int ShowCartridgeInfo() {
    ResetChips();
    // One sequential run from address 0 covers all 52 bytes. They are shown only once the
    // linker has confirmed them: a silent one would give a header of 0xFF bytes.
    std::array<std::uint8_t, kShownBytes> header{};
    SetAddress(kMarkerOffset, true);
    for (std::uint8_t& b : header) b = ReadData();
    if (CheckLinker() != 0) return ReportLinkLost(kShownBytes);

    const std::uint8_t* h = header.data();
    PrintQuotedBytes("License string  : ", h + kMarkerOffset, kMarkerLength);
    std::printf("Startup address : 0x%06X\n", LittleEndian(h + kStartupAddressOffset, 4));
    std::printf("ID code         : 0x%04X\n", LittleEndian(h + kIdCodeOffset, 2));
    std::printf("ID sub-code     : 0x%02X\n", LittleEndian(h + kIdCodeOffset + 2, 1));
    std::printf("Color compatable: %s\n", (h[kColourModeOffset] & kColourBit) ? "yes" : "no");
    PrintQuotedBytes("Title           : ", h + kTitleOffset, kShownTitleLength);
    return 0;
}

}  // namespace tidewick
