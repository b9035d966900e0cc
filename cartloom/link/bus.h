// The windowed program's bus to the flash linker: the three bus cycles (address cycle, data
// write, data read) in EPP and SPP mode, linker register writes, cartridge address latches and
// chip selection. Nothing above this layer touches the port registers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The one process-wide record of the link: where the port is, how cycles are run on it and what
// the linker's registers were last given (the linker cannot be asked).
struct LinkStateRecord {
    std::uint16_t DataPort = 0;                    // base + 0
    std::uint16_t StatusPort = 0;                  // base + 1
    std::uint16_t ControlPort = 0;                 // base + 2
    std::uint16_t EppAddressPort = 0;              // base + 3
    std::uint16_t EppDataPort = 0;                 // base + 4
    bool SppMode = false;                          // true: cycles are played on the control lines
    bool PortFound = false;                        // a base passed the link test; stays bound to it
    std::array<std::uint8_t, 4> RegisterRecord{};  // last value written to linker registers 0-3
};

extern LinkStateRecord LinkState;

// Bus cycles; each dispatches on LinkState.SppMode.
void SelectLinkerRegister(std::uint8_t reg);  // address cycle
void WriteLinkerByte(std::uint8_t value);     // data write of the selected register
std::uint8_t ReadLinkerByte();                // data read of the selected register
// `n` data reads of the selected register into out[0..n): in EPP mode one run of reads of the
// EPP data port, in SPP mode n ReadLinkerByte cycles.
void ReadLinkerBytes(std::uint8_t* out, std::size_t n);

// Control register 0x01 before writes, 0x00 before reads, in both modes.
void SetWriteDirection();
void SetReadDirection();

// Selects `reg`, writes `value` and records it in LinkState.RegisterRecord.
void WriteLinkerRegister(std::uint8_t reg, std::uint8_t value);
void WriteCartByte(std::uint8_t value);  // register 3
std::uint8_t ReadCartByte();             // selects register 3, read direction, one data read

// Latch a cartridge address (A0 to A20) in registers 2, 1, 0. Register 2 is written only when
// its value changes. SetCartReadAddress also sets auto-increment.
void SetCartAddress(std::uint32_t addr);
void SetCartReadAddress(std::uint32_t addr);
// SetCartAddress then WriteCartByte; the caller has set the write direction.
void WriteCartAt(std::uint32_t addr, std::uint8_t value);

// Chip enables go through register 3 while register 2 holds 0x02.
void SelectChip1();
void SelectChip2();
void SelectChipForBlock(std::uint32_t block);  // chip 1 below block 0x40, else chip 2
