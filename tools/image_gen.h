// Sample game images for tests and the demo: a valid header and a deterministic body with runs
// of 0xFF, as real images have where code and data end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagegen {

struct ImageSpec {
    unsigned size_mbit = 16;            // 4, 8, 16 or 32
    std::uint32_t size_bytes = 0;       // when not 0, the length instead (at least 64 bytes)
    bool licensed_marker = false;       // " LICENSED BY ..." instead of "COPYRIGHT BY ..."
    std::string title = "SAMPLE GAME";  // at most 12 characters are stored
    bool colour = true;
    std::uint32_t startup_address = 0x00200040;
    std::uint16_t id_code = 0x0042;
    std::uint8_t id_sub_code = 0x01;
    std::uint32_t seed = 1;
};

inline constexpr char kCopyrightMarker[] = "COPYRIGHT BY SNK CORPORATION";
inline constexpr char kLicensedMarker[] = " LICENSED BY SNK CORPORATION";

bool IsValidSize(unsigned size_mbit);

// The whole image, size_mbit * 131072 bytes (or size_bytes). The size must be valid.
std::vector<std::uint8_t> MakeImage(const ImageSpec& spec);

}  // namespace imagegen
