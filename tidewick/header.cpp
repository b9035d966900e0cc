#include "tidewick/header.h"

namespace tidewick {

std::uint32_t HeaderHash(std::span<const std::uint8_t> bytes) {
    std::uint32_t h = 0;
    for (std::uint32_t i = 0; i < kMarkerLength; ++i) {
        std::uint32_t b = i < bytes.size() ? bytes[i] : 0xFFFFFFFFu;
        h = (h << 1) ^ b;
    }
    return h;
}

bool IsValidHeaderHash(std::uint32_t hash) {
    return hash == kCopyrightHash || hash == kLicensedHash;
}

}  // namespace tidewick
