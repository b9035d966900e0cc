// The flash chips' command set and the block operations over the one 32 KB block buffer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

inline constexpr std::uint32_t kBlockBytes = 0x8000;
inline constexpr std::uint32_t kPageBytes = 0x100;

// The one transfer buffer shared with the file code.
extern std::array<std::uint8_t, kBlockBytes> BlockBuffer;

// The buffer and the pump as at program start: all zero, no pump.
void ResetBlockState();

// The window's pump while the flash works, so that it can process its pending messages: called
// by ProgramBlock before every byte except offsets 0x0000, 0x2000, 0x4000 and 0x6000, and by an
// erase wait every 256 status reads. Without one, nothing is called.
void SetProgramPump(std::function<void()> pump);
void RunProgramPump();

// Status reads after the first an erase may take before it counts as hung: 0x7FFFFFF, lowered
// only by tests.
extern std::uint32_t EraseReadLimit;

void FlashCommand(std::uint8_t c);
void FlashReset();
std::uint8_t CheckFlashId();                                      // 0 = accepted, 0xFF = not
std::uint8_t WaitDataPoll(std::uint8_t data);                     // 0 = finished, 1 = time-out
std::uint8_t WaitToggleDone();                                    // 0 = finished, 1 = time-out
std::uint8_t ProgramByte(std::uint32_t addr, std::uint8_t data);  // 0 = ok, 1 = four failures
std::uint8_t EraseSector(std::uint32_t addr);                     // 0 = erased, 1 = time-out
std::uint8_t EraseChip();                                         // 0 = erased, 1 = time-out

// What a sector erase clears: each 2 MB chip is made of these runs of equal sectors, from its
// first byte on.
struct SectorRun {
    std::uint32_t size;
    std::uint32_t count;
};
inline constexpr std::uint32_t kChipBytes = 0x200000;
inline constexpr SectorRun kChipSectors[] = {{0x10000, 31}, {0x8000, 1}, {0x2000, 2}, {0x4000, 1}};

// The first cartridge address of the sector that holds `addr`, on whichever chip it lies.
std::uint32_t SectorStart(std::uint32_t addr);

// Block operations select their own chip. pages is 0 to 128.
void ReadBlockPages(std::uint32_t block, std::uint8_t pages);
std::int32_t VerifyBlockPages(std::uint32_t block, std::uint8_t pages);  // 0 or -1
std::int32_t ProgramBlock(std::uint32_t block);                          // 0 or -1
