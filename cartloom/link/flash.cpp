// JEDEC command sequences, status polling, byte program and erase.
#include "cartloom/link/flash.h"

#include <utility>

#include "cartloom/link/bus.h"

namespace {

constexpr std::uint32_t kUnlockAddr1 = 0x5555;
constexpr std::uint32_t kUnlockAddr2 = 0x2AAA;
constexpr std::uint8_t kUnlockData1 = 0xAA;
constexpr std::uint8_t kUnlockData2 = 0x55;
constexpr std::uint8_t kCmdReset = 0xF0;
constexpr std::uint8_t kCmdIdentify = 0x90;
constexpr std::uint8_t kCmdProgram = 0xA0;
constexpr std::uint8_t kCmdEraseSetup = 0x80;
constexpr std::uint8_t kCmdChipErase = 0x10;
constexpr std::uint8_t kCmdSectorErase = 0x30;

constexpr std::uint8_t kDq7 = 0x80;
constexpr std::uint8_t kDq6 = 0x40;
constexpr std::uint32_t kDataPollReads = 0x7FFF;
constexpr int kProgramAttempts = 4;
// An erase takes seconds; the window stays painted and counting through it.
constexpr std::uint32_t kPumpEveryReads = 256;

std::function<void()> program_pump;

bool IdAccepted(const std::uint8_t (&id)[4]) {
    if ((id[0] & 0x90) != 0x90) return false;
    if (id[2] != 0x01) return false;
    return (id[3] & 0x80) == 0x80;
}

std::uint8_t Erase(std::uint32_t addr, std::uint8_t command) {
    FlashReset();
    FlashCommand(kCmdEraseSetup);
    WriteCartAt(kUnlockAddr1, kUnlockData1);
    WriteCartAt(kUnlockAddr2, kUnlockData2);
    WriteCartAt(addr, command);
    return WaitToggleDone();
}

}  // namespace

std::uint32_t EraseReadLimit = 0x7FFFFFF;

void SetProgramPump(std::function<void()> pump) {
    program_pump = std::move(pump);
}

void RunProgramPump() {
    if (program_pump) program_pump();
}

void FlashCommand(std::uint8_t c) {
    SetWriteDirection();
    WriteCartAt(kUnlockAddr1, kUnlockData1);
    WriteCartAt(kUnlockAddr2, kUnlockData2);
    WriteCartAt(kUnlockAddr1, c);
}

void FlashReset() {
    FlashCommand(kCmdReset);
}

std::uint8_t CheckFlashId() {
    FlashReset();
    FlashReset();
    FlashReset();
    FlashCommand(kCmdIdentify);
    std::uint8_t id[4];
    for (std::uint8_t a = 0; a < 4; ++a) {
        SetWriteDirection();
        SetCartAddress(a);
        id[a] = ReadCartByte();
    }
    FlashReset();
    return IdAccepted(id) ? 0 : 0xFF;
}

// The program cycle's address is still latched, so the status is read right there.
std::uint8_t WaitDataPoll(std::uint8_t data) {
    const std::uint8_t want = data & kDq7;
    if ((ReadCartByte() & kDq7) == want) return 0;
    for (std::uint32_t n = 0; n < kDataPollReads; ++n) {
        if ((ReadLinkerByte() & kDq7) == want) return 0;
    }
    return 1;
}

std::uint8_t WaitToggleDone() {
    std::uint8_t prev = ReadCartByte() & kDq6;
    for (std::uint32_t n = 0; n < EraseReadLimit; ++n) {
        if (n % kPumpEveryReads == kPumpEveryReads - 1) RunProgramPump();
        std::uint8_t cur = ReadLinkerByte() & kDq6;
        if (cur == prev) return 0;
        prev = cur;
    }
    return 1;
}

std::uint8_t ProgramByte(std::uint32_t addr, std::uint8_t data) {
    for (int attempt = 0; attempt < kProgramAttempts; ++attempt) {
        // A failed program leaves the chip in its time-limit state until a reset.
        if (attempt > 0) FlashReset();
        FlashCommand(kCmdProgram);
        WriteCartAt(addr, data);
        if (WaitDataPoll(data) == 0) return 0;
    }
    return 1;
}

std::uint8_t EraseSector(std::uint32_t addr) {
    return Erase(addr, kCmdSectorErase);
}

std::uint8_t EraseChip() {
    return Erase(kUnlockAddr1, kCmdChipErase);
}

std::uint32_t SectorStart(std::uint32_t addr) {
    const std::uint32_t chip = addr & ~(kChipBytes - 1);
    const std::uint32_t offset = addr - chip;
    std::uint32_t start = 0;
    for (const SectorRun& run : kChipSectors) {
        const std::uint32_t end = start + run.size * run.count;
        if (offset < end) return chip + start + (offset - start) / run.size * run.size;
        start = end;
    }
    return chip + start;  // not reached: the runs cover the whole chip
}
