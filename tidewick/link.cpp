#include "tidewick/link.h"

#include <algorithm>
#include <array>

#include "portio/epp.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

constexpr std::uint8_t kRegAddressLow = 0;
constexpr std::uint8_t kRegAddressMid = 1;
constexpr std::uint8_t kRegHigh = 2;
constexpr std::uint8_t kRegData = 3;
constexpr std::uint8_t kOpenChipSelect = 0x02;  // register 2 value that routes register 3
constexpr std::uint8_t kSequential = 0x01;
constexpr std::uint8_t kControlReleased = 0x04;
constexpr std::uint8_t kClearTimeout = 0x01;
constexpr std::uint8_t kStatusTimeout = 0x01;  // status bit 0: an EPP cycle went unanswered
constexpr std::uint8_t kFloatingBus = 0xFF;    // what every read gives once the linker is gone
constexpr std::uint8_t kErased = 0xFF;

constexpr std::uint32_t kTestAddress = 0x123456;
constexpr std::uint8_t kTestReg0 = 0x56;
constexpr std::uint8_t kTestReg1 = 0x34;
constexpr std::uint8_t kTestReg2 = 0x7E;  // what register 2 gives back after 0x88

constexpr std::uint32_t kUnlock1 = 0x5555;
constexpr std::uint32_t kUnlock2 = 0x2AAA;
constexpr std::uint8_t kDq7 = 0x80;
constexpr std::uint8_t kDq5 = 0x20;

constexpr std::size_t kSizeProbeBytes = 28;

std::uint8_t ChipSelectByte(std::uint32_t address) {
    std::uint32_t chip = address >> 21;
    // Past chip 2 the low two bits stay set and no chip is enabled.
    if (chip >= 8) return 0xFF;
    return static_cast<std::uint8_t>(~(1u << chip));
}

std::uint8_t HighAddressByte(std::uint32_t address, bool sequential) {
    std::uint32_t a16_19 = (address >> 16) & 0x0F;
    std::uint32_t a20 = (address >> 20) & 0x01;
    return static_cast<std::uint8_t>((a16_19 << 2) | (a20 << 7) | (sequential ? kSequential : 0));
}

void Command(std::uint32_t address, std::uint8_t value) {
    SetAddress(address, false);
    WriteData(value);
}

void Unlock(std::uint32_t chip_base) {
    Command(chip_base + kUnlock1, 0xAA);
    Command(chip_base + kUnlock2, 0x55);
}

bool SameBit7(std::uint8_t a, std::uint8_t b) {
    return ((a ^ b) & kDq7) == 0;
}

// A floating bus reads 0xFF, which passes the DQ7 test of every value with bit 7 set: such a
// "done" counts only while the linker still answers. A chip that is done reads back the value.
bool Confirmed(std::uint8_t r, std::uint8_t value) {
    return r != kFloatingBus || value == kFloatingBus || CheckLinker() == 0;
}

// One program attempt's wait: true once the chip reports the byte done.
bool ProgramDone(std::uint8_t value) {
    for (int poll = 0; poll < kProgramPolls; ++poll) {
        std::uint8_t r = ReadData();
        if (SameBit7(r, value)) return Confirmed(r, value);
        if (r & kDq5) {
            // The chip gave up; it may still have finished just as the limit passed.
            r = ReadData();
            if (SameBit7(r, value)) return Confirmed(r, value);
            if (ReadData() == value) return true;
        }
    }
    return false;
}

}  // namespace

std::uint32_t EraseReadLimit = kEraseReadLimit;

void SetAddress(std::uint32_t address, bool sequential) {
    const std::uint16_t base = LinkerBase();
    epp::SetWriteDirection(base);
    epp::AddressCycle(base, kRegAddressLow);
    epp::DataWrite(base, static_cast<std::uint8_t>(address));
    epp::AddressCycle(base, kRegAddressMid);
    epp::DataWrite(base, static_cast<std::uint8_t>(address >> 8));
    epp::AddressCycle(base, kRegHigh);
    epp::DataWrite(base, kOpenChipSelect);
    epp::AddressCycle(base, kRegData);
    epp::DataWrite(base, ChipSelectByte(address));
    epp::AddressCycle(base, kRegHigh);
    epp::DataWrite(base, HighAddressByte(address, sequential));
    epp::AddressCycle(base, kRegData);
}

void WriteData(std::uint8_t value) {
    epp::SetWriteDirection(LinkerBase());
    epp::DataWrite(LinkerBase(), value);
}

std::uint8_t ReadData() {
    epp::SetReadDirection(LinkerBase());
    return epp::DataRead(LinkerBase());
}

void ReadDataRun(std::uint8_t* out, std::size_t n) {
    if (n == 0) return;
    epp::SetReadDirection(LinkerBase());
    PortReadRun(static_cast<std::uint16_t>(LinkerBase() + epp::kDataOffset), out, n);
}

int DetectLinker() {
    const std::uint16_t base = LinkerBase();
    PortWrite(static_cast<std::uint16_t>(base + epp::kStatusOffset), kClearTimeout);
    SetAddress(kTestAddress, false);
    epp::SetReadDirection(base);
    const std::array<std::uint8_t, 3> expected = {kTestReg0, kTestReg1, kTestReg2};
    for (std::uint8_t reg = 0; reg < expected.size(); ++reg) {
        epp::AddressCycle(base, reg);
        if (epp::DataRead(base) != expected[reg]) {
            return Failed();
        }
    }
    return 0;
}

int CheckLinker() {
    const std::uint16_t base = LinkerBase();
    // Set when a cycle since DetectLinker cleared the bit went unanswered.
    if (PortRead(static_cast<std::uint16_t>(base + epp::kStatusOffset)) & kStatusTimeout) return 1;
    SetAddress(kTestAddress, false);
    epp::SetReadDirection(base);
    const std::array<std::uint8_t, 3> expected = {kTestReg0, kTestReg1, kTestReg2};
    for (std::uint8_t reg = 0; reg < expected.size(); ++reg) {
        epp::AddressCycle(base, reg);
        if (epp::DataRead(base) != expected[reg]) return 1;
    }
    return 0;
}

void ReleaseLink() {
    const std::uint16_t base = LinkerBase();
    epp::SetWriteDirection(base);
    epp::AddressCycle(base, kRegHigh);
    epp::DataWrite(base, 0x00);
    PortWrite(static_cast<std::uint16_t>(base + epp::kControlOffset), kControlReleased);
}

void ResetChips() {
    for (std::uint32_t chip_base : {0u, kChip2Base}) {
        Unlock(chip_base);
        Command(chip_base + kUnlock1, 0xF0);
    }
}

int EraseBothChips(unsigned* failed_chip) {
    unsigned chip = 1;
    for (std::uint32_t chip_base : {0u, kChip2Base}) {
        Unlock(chip_base);
        Command(chip_base + kUnlock1, 0x80);
        Unlock(chip_base);
        Command(chip_base + kUnlock1, 0x10);
        // The linker still holds chip_base + 0x5555; DQ7 reads 0 until the erase is done.
        std::uint32_t reads = 0;
        while ((ReadData() & kDq7) == 0) {
            if (++reads >= EraseReadLimit) {
                *failed_chip = chip;
                return Failed();
            }
        }
        // A silent linker reads bit 7 as 1 at once, which ends the wait as if erased.
        if (CheckLinker() != 0) {
            *failed_chip = chip;
            return Failed();
        }
        ++chip;
    }
    return 0;
}

std::uint8_t ProbeCartridge() {
    Unlock(0);
    Command(kUnlock1, 0x90);
    SetAddress(1, false);
    return ReadData();
}

int FlashByte(std::uint32_t address, std::uint8_t value, int retries) {
    const std::uint32_t chip_base = address & kChip2Base;
    for (;;) {
        Unlock(chip_base);
        Command(chip_base + kUnlock1, 0xA0);
        Command(address, value);
        if (ProgramDone(value)) return 0;
        SetAddress(address, false);
        if (ReadData() == value) return 0;
        if (retries == 0) {
            return Failed();
        }
        --retries;
    }
}

int MatchesAt(std::span<const std::uint8_t> buffer, std::uint32_t address) {
    SetAddress(address, true);
    for (std::uint8_t expected : buffer) {
        if (ReadData() != expected) return 1;
    }
    return 0;
}

std::uint32_t MeasureCartridgeSize() {
    std::array<std::uint8_t, kSizeProbeBytes> first{};
    SetAddress(0, true);
    for (std::uint8_t& b : first) b = ReadData();
    // A blank header repeats everywhere on blank flash and tells nothing: take the largest
    // size rather than leave out what lies above 1 MiB.
    if (std::all_of(first.begin(), first.end(), [](std::uint8_t b) { return b == kErased; })) {
        return 0x400000;
    }
    if (MatchesAt(first, 0x100000) == 0) return 0x100000;
    if (MatchesAt(first, 0x200000) == 0) return 0x200000;
    return 0x400000;
}

}  // namespace tidewick
