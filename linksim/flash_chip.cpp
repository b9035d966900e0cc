#include "linksim/flash_chip.h"

#include <cstring>

namespace linksim {
namespace {

constexpr std::uint32_t kAddressMask = kChipBytes - 1;
constexpr std::uint32_t kUnlockAddr1 = 0x5555;
constexpr std::uint32_t kUnlockAddr2 = 0x2AAA;
constexpr std::uint8_t kUnlockData1 = 0xAA;
constexpr std::uint8_t kUnlockData2 = 0x55;
constexpr std::uint8_t kCmdIdentify = 0x90;
constexpr std::uint8_t kCmdReset = 0xF0;
constexpr std::uint8_t kCmdProgram = 0xA0;
constexpr std::uint8_t kCmdEraseSetup = 0x80;
constexpr std::uint8_t kCmdChipErase = 0x10;
constexpr std::uint8_t kCmdSectorErase = 0x30;

constexpr std::uint8_t kDq7 = 0x80;
constexpr std::uint8_t kDq6 = 0x40;
constexpr std::uint8_t kDq5 = 0x20;

}  // namespace

Sector SectorOf(std::uint32_t addr) {
    addr &= kAddressMask;
    if (addr < 0x1F0000) return {addr & ~0xFFFFu, 0x10000};
    if (addr < 0x1F8000) return {0x1F0000, 0x8000};
    if (addr < 0x1FA000) return {0x1F8000, 0x2000};
    if (addr < 0x1FC000) return {0x1FA000, 0x2000};
    return {0x1FC000, 0x4000};
}

FlashChip::FlashChip(std::uint8_t* cells, std::uint32_t size, std::uint32_t offset,
                     ChipTiming timing, std::optional<std::uint32_t> stuck, Stats* stats)
    : cells_(cells), size_(size), offset_(offset), timing_(timing), stuck_(stuck), stats_(stats) {}

std::uint8_t FlashChip::StatusRead(std::uint8_t fixed_bits) {
    std::uint8_t v = static_cast<std::uint8_t>(fixed_bits | (toggle_ ? kDq6 : 0));
    toggle_ = !toggle_;
    return v;
}

std::uint8_t FlashChip::Read(std::uint32_t addr) {
    addr &= kAddressMask;
    switch (mode_) {
        case Mode::Id:
            return kId[addr & 3];
        case Mode::Programming:
            if (busy_reads_ > 0) {
                --busy_reads_;
                return StatusRead(static_cast<std::uint8_t>(~op_value_ & kDq7));
            }
            Finish();
            break;
        case Mode::ProgramFailed:
            return StatusRead(static_cast<std::uint8_t>((~op_value_ & kDq7) | kDq5));
        case Mode::EraseFailed:
            return StatusRead(kDq5);
        case Mode::Erasing:
            if (timing_.erase_hang) return StatusRead(0);
            if (busy_reads_ > 0) {
                --busy_reads_;
                return StatusRead(0);
            }
            Finish();
            break;
        case Mode::Read:
            break;
    }
    std::uint32_t cell = addr % size_;
    stats_->read.Add(offset_ + cell, offset_ + cell);
    return cells_[cell];
}

void FlashChip::Write(std::uint32_t addr, std::uint8_t value) {
    addr &= kAddressMask;
    switch (mode_) {
        case Mode::Programming:
        case Mode::Erasing:
            return;  // a busy chip takes no commands
        case Mode::ProgramFailed:
        case Mode::EraseFailed:
            // Only a reset leaves the time-limit state; the 0xF0 of the reset sequence does it.
            if (value == kCmdReset) {
                mode_ = Mode::Read;
                step_ = Step::Idle;
                ++stats_->resets;
            }
            return;
        case Mode::Read:
        case Mode::Id:
            Command(addr, value);
            return;
    }
}

void FlashChip::Command(std::uint32_t addr, std::uint8_t value) {
    Step step = step_;
    step_ = Step::Idle;
    switch (step) {
        case Step::Idle:
            if (addr == kUnlockAddr1 && value == kUnlockData1) {
                step_ = Step::Unlock1;
            } else if (value == kCmdReset) {
                mode_ = Mode::Read;
                ++stats_->resets;
            }
            return;
        case Step::Unlock1:
            if (addr == kUnlockAddr2 && value == kUnlockData2) step_ = Step::Unlock2;
            return;
        case Step::Unlock2:
            if (addr != kUnlockAddr1) return;
            if (value == kCmdIdentify) {
                mode_ = Mode::Id;
            } else if (value == kCmdReset) {
                mode_ = Mode::Read;
                ++stats_->resets;
            } else if (value == kCmdProgram) {
                step_ = Step::ProgramArmed;
            } else if (value == kCmdEraseSetup) {
                step_ = Step::EraseSetup;
            }
            return;
        case Step::ProgramArmed:
            StartProgram(addr, value);
            return;
        case Step::EraseSetup:
            if (addr == kUnlockAddr1 && value == kUnlockData1) step_ = Step::EraseUnlock1;
            return;
        case Step::EraseUnlock1:
            if (addr == kUnlockAddr2 && value == kUnlockData2) step_ = Step::EraseUnlock2;
            return;
        case Step::EraseUnlock2:
            if (addr == kUnlockAddr1 && value == kCmdChipErase) {
                ++stats_->chip_erases;
                StartErase(0, kChipBytes, true);
            } else if (value == kCmdSectorErase) {
                ++stats_->sector_erases;
                Sector s = SectorOf(addr);
                StartErase(s.start, s.size, false);
            }
            return;
    }
}

void FlashChip::StartProgram(std::uint32_t addr, std::uint8_t value) {
    ++stats_->program_commands;
    std::uint32_t cell = addr % size_;
    std::uint32_t cart = offset_ + cell;
    op_value_ = value;
    stats_->programmed.Add(cart, cart);
    bool stuck = stuck_.has_value() && *stuck_ == cart;
    std::uint8_t old = cells_[cell];
    if (!stuck) cells_[cell] = static_cast<std::uint8_t>(old & value);  // bits only go 1 -> 0
    if (stuck || (old & value) != value) {
        ++stats_->program_failures;
        mode_ = Mode::ProgramFailed;
        return;
    }
    mode_ = Mode::Programming;
    busy_reads_ = timing_.program_reads;
}

void FlashChip::StartErase(std::uint32_t first, std::uint32_t size, bool whole_chip) {
    if (whole_chip) size = size_;
    erase_first_ = first % size_;
    erase_size_ = size > size_ ? size_ : size;
    mode_ = Mode::Erasing;
    busy_reads_ = timing_.erase_reads;
    if (timing_.erase_timeout != 0 &&
        stats_->sector_erases + stats_->chip_erases == timing_.erase_timeout) {
        // Past its time limit the erase has cleared its cells, but no more is known of them.
        Finish();
        mode_ = Mode::EraseFailed;
    }
}

void FlashChip::Finish() {
    if (mode_ == Mode::Erasing) {
        std::memset(cells_ + erase_first_, 0xFF, erase_size_);
        stats_->erased.Add(offset_ + erase_first_, offset_ + erase_first_ + erase_size_ - 1);
    }
    mode_ = Mode::Read;
}

}  // namespace linksim
