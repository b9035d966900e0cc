// One JEDEC flash chip of the cartridge: read, identify, reset, byte program with DQ7/DQ6/DQ5
// status and sector / chip erase. Busy times are counted in status reads, never in time.
#pragma once

#include <cstdint>
#include <optional>

#include "linksim/stats.h"

namespace linksim {

inline constexpr std::uint32_t kChipBytes = 0x200000;  // 2 MiB, address bits A0 to A20

// The sector holding chip address `addr`: 31 sectors of 64 KiB, then 32, 8, 8 and 16 KiB.
struct Sector {
    std::uint32_t start;
    std::uint32_t size;
};
Sector SectorOf(std::uint32_t addr);

struct ChipTiming {
    std::uint32_t program_reads = 2;
    std::uint32_t erase_reads = 1000;
    bool erase_hang = false;
    // The erase, counted as the counters count them, that clears its cells and then reports
    // its time limit (DQ5) until a reset; 0 for none.
    std::uint64_t erase_timeout = 0;
};

class FlashChip {
  public:
    // `cells` holds `size` bytes (1 or 2 MiB) that repeat over the chip's 2 MiB address space.
    // `offset` is the cartridge address of cells[0], used for `stuck` and the counters.
    FlashChip(std::uint8_t* cells, std::uint32_t size, std::uint32_t offset, ChipTiming timing,
              std::optional<std::uint32_t> stuck, Stats* stats);

    std::uint8_t Read(std::uint32_t addr);
    void Write(std::uint32_t addr, std::uint8_t value);

    // The array byte at `addr`, as a read in read mode would give it (for a mirrored chip).
    std::uint8_t Cell(std::uint32_t addr) const { return cells_[addr % size_]; }

    static constexpr std::uint8_t kId[4] = {0xD0, 0x2C, 0x01, 0x80};

  private:
    enum class Mode { Read, Id, Programming, ProgramFailed, Erasing, EraseFailed };
    enum class Step {
        Idle,
        Unlock1,
        Unlock2,
        ProgramArmed,
        EraseSetup,
        EraseUnlock1,
        EraseUnlock2
    };

    void Command(std::uint32_t addr, std::uint8_t value);
    void StartProgram(std::uint32_t addr, std::uint8_t value);
    void StartErase(std::uint32_t first, std::uint32_t size, bool whole_chip);
    void Finish();
    std::uint8_t StatusRead(std::uint8_t fixed_bits);

    std::uint8_t* cells_;
    std::uint32_t size_;
    std::uint32_t offset_;
    ChipTiming timing_;
    std::optional<std::uint32_t> stuck_;
    Stats* stats_;

    Mode mode_ = Mode::Read;
    Step step_ = Step::Idle;
    bool toggle_ = false;
    std::uint32_t busy_reads_ = 0;
    std::uint8_t op_value_ = 0;
    std::uint32_t erase_first_ = 0;
    std::uint32_t erase_size_ = 0;
};

}  // namespace linksim
