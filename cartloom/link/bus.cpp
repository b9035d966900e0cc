#include "cartloom/link/bus.h"

#include "portio/epp.h"
#include "portio/portio.h"

LinkStateRecord LinkState;

namespace {

// Control register values of the cycles played on a standard port. Bits 0, 1 and 3 drive
// nStrobe (nWrite), nAutoFd (nDataStrobe) and nSelectIn (nAddrStrobe) inverted; bit 2 is nInit.
constexpr std::uint8_t kCtlWriteIdle = 0x01;       // nWrite low, strobes released
constexpr std::uint8_t kCtlAddrStrobe = 0x09;      // write + address strobe
constexpr std::uint8_t kCtlDataStrobe = 0x03;      // write + data strobe
constexpr std::uint8_t kCtlReadLowNibble = 0x02;   // read + data strobe, nInit low
constexpr std::uint8_t kCtlReadHighNibble = 0x06;  // read + data strobe, nInit high
constexpr std::uint8_t kCtlReadIdle = 0x00;

constexpr std::uint8_t kReg2AutoIncrement = 0x01;
constexpr std::uint8_t kReg2ChipSelect = 0x02;
constexpr std::uint8_t kChip1Enable = 0x02;  // bit 0 low enables chip 1
constexpr std::uint8_t kChip2Enable = 0x01;  // bit 1 low enables chip 2
constexpr std::uint32_t kChip2FirstBlock = 0x40;

// Register 2 value for `addr`: A16 to A19 in bits 2 to 5, A20 moved from bit 6 to bit 7.
std::uint8_t HighAddressRegister(std::uint32_t addr) {
    auto t = static_cast<std::uint8_t>((addr >> 14) & 0x7C);
    if (t & 0x40) return static_cast<std::uint8_t>((t & 0x3C) | 0x80);
    return t;
}

void LatchAddress(std::uint32_t addr, std::uint8_t reg2_flags) {
    auto h = static_cast<std::uint8_t>(HighAddressRegister(addr) | reg2_flags);
    // Most latches stay inside one 64 KB region, so register 2 is only written on a change.
    if (h != LinkState.RegisterRecord[2]) WriteLinkerRegister(2, h);
    WriteLinkerRegister(1, static_cast<std::uint8_t>((addr >> 8) & 0xFF));
    WriteLinkerRegister(0, static_cast<std::uint8_t>(addr & 0xFF));
}

void SelectChip(std::uint8_t enables) {
    SetWriteDirection();
    WriteLinkerRegister(2, kReg2ChipSelect);
    WriteLinkerRegister(3, enables);
    WriteLinkerRegister(2, 0x00);
}

}  // namespace

void SelectLinkerRegister(std::uint8_t reg) {
    if (!LinkState.SppMode) {
        epp::AddressCycle(LinkState.DataPort, reg);
        return;
    }
    PortWrite(LinkState.DataPort, reg);
    PortWrite(LinkState.ControlPort, kCtlAddrStrobe);
    PortWrite(LinkState.ControlPort, kCtlWriteIdle);
}

void WriteLinkerByte(std::uint8_t value) {
    if (!LinkState.SppMode) {
        epp::DataWrite(LinkState.DataPort, value);
        return;
    }
    PortWrite(LinkState.DataPort, value);
    PortWrite(LinkState.ControlPort, kCtlDataStrobe);
    PortWrite(LinkState.ControlPort, kCtlWriteIdle);
}

std::uint8_t ReadLinkerByte() {
    if (!LinkState.SppMode) return epp::DataRead(LinkState.DataPort);
    // The answer comes back in two nibbles on status bits 3 to 6, low nibble while nInit is low.
    PortWrite(LinkState.ControlPort, kCtlReadLowNibble);
    std::uint8_t s1 = PortRead(LinkState.StatusPort);
    PortWrite(LinkState.ControlPort, kCtlReadHighNibble);
    std::uint8_t s2 = PortRead(LinkState.StatusPort);
    PortWrite(LinkState.ControlPort, kCtlReadIdle);
    return static_cast<std::uint8_t>(((s2 << 1) & 0xF0) | ((s1 >> 3) & 0x0F));
}

void ReadLinkerBytes(std::uint8_t* out, std::size_t n) {
    if (!LinkState.SppMode) {
        PortReadRun(LinkState.EppDataPort, out, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = ReadLinkerByte();
}

void SetWriteDirection() {
    PortWrite(LinkState.ControlPort, kCtlWriteIdle);
}

void SetReadDirection() {
    PortWrite(LinkState.ControlPort, kCtlReadIdle);
}

void WriteLinkerRegister(std::uint8_t reg, std::uint8_t value) {
    SelectLinkerRegister(reg);
    WriteLinkerByte(value);
    LinkState.RegisterRecord[reg & 0x03] = value;
}

void WriteCartByte(std::uint8_t value) {
    WriteLinkerRegister(3, value);
}

std::uint8_t ReadCartByte() {
    SelectLinkerRegister(3);
    SetReadDirection();
    return ReadLinkerByte();
}

void SetCartAddress(std::uint32_t addr) {
    LatchAddress(addr, 0);
}

void SetCartReadAddress(std::uint32_t addr) {
    LatchAddress(addr, kReg2AutoIncrement);
}

void WriteCartAt(std::uint32_t addr, std::uint8_t value) {
    SetCartAddress(addr);
    WriteCartByte(value);
}

void SelectChip1() {
    SelectChip(kChip1Enable);
}

void SelectChip2() {
    SelectChip(kChip2Enable);
}

void SelectChipForBlock(std::uint32_t block) {
    if (block < kChip2FirstBlock) {
        SelectChip1();
    } else {
        SelectChip2();
    }
}
