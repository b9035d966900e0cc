// The EPP bus cycles both programs share: an address cycle selects a linker register at
// base + 3, data cycles write or read it at base + 4, and the control register at base + 2 is
// set to 0x01 before writes and 0x00 before reads. The port hardware runs the handshake, so
// each cycle is one port access.
#pragma once

#include <cstdint>

#include "portio/portio.h"

namespace epp {

inline constexpr std::uint16_t kStatusOffset = 1;
inline constexpr std::uint16_t kControlOffset = 2;
inline constexpr std::uint16_t kAddressOffset = 3;
inline constexpr std::uint16_t kDataOffset = 4;

inline constexpr std::uint8_t kControlWrite = 0x01;
inline constexpr std::uint8_t kControlRead = 0x00;

inline void AddressCycle(std::uint16_t base, std::uint8_t reg) {
    PortWrite(static_cast<std::uint16_t>(base + kAddressOffset), reg);
}

inline void DataWrite(std::uint16_t base, std::uint8_t value) {
    PortWrite(static_cast<std::uint16_t>(base + kDataOffset), value);
}

inline std::uint8_t DataRead(std::uint16_t base) {
    return PortRead(static_cast<std::uint16_t>(base + kDataOffset));
}

inline void SetWriteDirection(std::uint16_t base) {
    PortWrite(static_cast<std::uint16_t>(base + kControlOffset), kControlWrite);
}

inline void SetReadDirection(std::uint16_t base) {
    PortWrite(static_cast<std::uint16_t>(base + kControlOffset), kControlRead);
}

}  // namespace epp
