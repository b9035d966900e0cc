// The image header as the console tool reads it: the field offsets, the hash of the marker
// text that vets an image before it is flashed.
#pragma once

#include <cstdint>
#include <span>

namespace tidewick {

inline constexpr std::uint32_t kMarkerOffset = 0x00;
inline constexpr std::uint32_t kMarkerLength = 28;
inline constexpr std::uint32_t kStartupAddressOffset = 0x1C;
inline constexpr std::uint32_t kIdCodeOffset = 0x20;  // IdCode (2 bytes), then IdSubCode
inline constexpr std::uint32_t kIdBytes = 3;
inline constexpr std::uint32_t kColourModeOffset = 0x23;
inline constexpr std::uint32_t kTitleOffset = 0x24;
inline constexpr std::uint32_t kShownTitleLength = 16;  // the 12-byte title and 4 bytes after it
inline constexpr std::uint8_t kColourBit = 0x10;

// Hashes of "COPYRIGHT BY SNK CORPORATION" and " LICENSED BY SNK CORPORATION".
inline constexpr std::uint32_t kCopyrightHash = 0xE8D446C4;
inline constexpr std::uint32_t kLicensedHash = 0xDC4446C4;

// Shift-and-xor over the first 28 bytes. `bytes` may be shorter (a short file): each missing
// byte counts as the end-of-file value, all bits set.
std::uint32_t HeaderHash(std::span<const std::uint8_t> bytes);

bool IsValidHeaderHash(std::uint32_t hash);

}  // namespace tidewick
