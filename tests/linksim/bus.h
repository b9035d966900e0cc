// The linker's bus cycles played straight on the port, in EPP or on a standard port's control
// and status lines, so the simulator can be checked without either program's link code.
#pragma once

#include <cstdint>

#include "portio/portio.h"

namespace simtest {

struct Bus {
    bool spp = false;
    std::uint16_t base = 0x378;

    void Select(std::uint8_t reg) const {
        if (!spp) return PortWrite(base + 3, reg);
        PortWrite(base, reg);
        PortWrite(base + 2, 0x09);
        PortWrite(base + 2, 0x01);
    }
    void Write(std::uint8_t value) const {
        if (!spp) return PortWrite(base + 4, value);
        PortWrite(base, value);
        PortWrite(base + 2, 0x03);
        PortWrite(base + 2, 0x01);
    }
    std::uint8_t Read() const {
        if (!spp) return PortRead(base + 4);
        PortWrite(base + 2, 0x02);
        std::uint8_t s1 = PortRead(base + 1);
        PortWrite(base + 2, 0x06);
        std::uint8_t s2 = PortRead(base + 1);
        PortWrite(base + 2, 0x00);
        return static_cast<std::uint8_t>(((s2 << 1) & 0xF0) | ((s1 >> 3) & 0x0F));
    }
    void SetReg(std::uint8_t reg, std::uint8_t value) const {
        Select(reg);
        Write(value);
    }
    std::uint8_t GetReg(std::uint8_t reg) const {
        Select(reg);
        return Read();
    }
    // Register 2 holds A16 to A19 in bits 2 to 5 and A20 in bit 7.
    static std::uint8_t High(std::uint32_t addr, bool increment) {
        std::uint8_t h = static_cast<std::uint8_t>((addr >> 14) & 0x3C);
        if (addr & 0x100000) h |= 0x80;
        return static_cast<std::uint8_t>(h | (increment ? 1 : 0));
    }
    void Latch(std::uint32_t addr, bool increment = false) const {
        SetReg(2, High(addr, increment));
        SetReg(1, static_cast<std::uint8_t>(addr >> 8));
        SetReg(0, static_cast<std::uint8_t>(addr));
    }
    // Chip enables go through register 3 while register 2 holds 0x02.
    void Enable(std::uint8_t enables) const {
        SetReg(2, 0x02);
        SetReg(3, enables);
        SetReg(2, 0x00);
    }
    void Cycle(std::uint32_t addr, std::uint8_t value) const {
        Latch(addr);
        SetReg(3, value);
    }
    std::uint8_t ReadAt(std::uint32_t addr) const {
        Latch(addr);
        return GetReg(3);
    }
    void Command(std::uint8_t command) const {
        Cycle(0x5555, 0xAA);
        Cycle(0x2AAA, 0x55);
        Cycle(0x5555, command);
    }
    void Reset() const { Command(0xF0); }
    void Program(std::uint32_t addr, std::uint8_t value) const {
        Command(0xA0);
        Cycle(addr, value);
    }
    void EraseSetup() const {
        Command(0x80);
        Cycle(0x5555, 0xAA);
        Cycle(0x2AAA, 0x55);
    }
    void EraseChip() const {
        EraseSetup();
        Cycle(0x5555, 0x10);
    }
    void EraseSector(std::uint32_t addr) const {
        EraseSetup();
        Cycle(addr, 0x30);
    }
    // Reads register 3 until the chip's status settles; returns the reads it took.
    int WaitReady(std::uint32_t addr, int limit = 100000) const {
        Latch(addr);
        Select(3);
        std::uint8_t prev = Read();
        for (int n = 1; n < limit; ++n) {
            std::uint8_t cur = Read();
            if (((cur ^ prev) & 0x40) == 0) return n;
            prev = cur;
        }
        return -1;
    }
};

}  // namespace simtest
