// The console tool's link to the flash linker: EPP cycles only, at LinkerPort. Address loading,
// the linker test, the flash command sequences, cartridge presence and size. Nothing here
// prints; failures are results (0 success, 1 failure) with ErrorOccurred set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tidewick {

inline constexpr std::uint32_t kChip2Base = 0x200000;
inline constexpr int kProgramPolls = 10000;
// Status reads one chip erase may take before it counts as hung. A read is a control write and
// an EPP data cycle, a microsecond or more on any real port, so this allows over two minutes per
// chip, far past a whole-chip erase of these parts (tens of seconds).
inline constexpr std::uint32_t kEraseReadLimit = 1u << 27;
extern std::uint32_t EraseReadLimit;  // kEraseReadLimit; lowered only by tests

// Loads `address` with its chip selection and the sequential flag, and leaves register 3
// selected: twelve port writes, every time.
void SetAddress(std::uint32_t address, bool sequential);
void WriteData(std::uint8_t value);
std::uint8_t ReadData();
// `n` ReadData calls into out[0..n), as the sequential reads of a bulk loop: the control
// register is set to 0x00 once (writing it again with the value it holds changes no line, so the
// cycles on the cable are those of n ReadData calls), then the n data reads go to the port as
// one run.
void ReadDataRun(std::uint8_t* out, std::size_t n);

int DetectLinker();

// Whether the linker still answers: the EPP time-out bit, then DetectLinker's register echo.
// 0 when it answers, 1 when it is gone (a silent linker reads 0xFF, like erased flash). The
// linker's address registers are left holding the test address, so the caller loads its own
// address again afterwards. ErrorOccurred is the caller's to set.
int CheckLinker();

void ReleaseLink();
void ResetChips();

// Erases chip 1, then chip 2, each waited for by DQ7 polling. Returns 1 when a chip is still
// busy after EraseReadLimit status reads, or when the linker no longer answers after a chip's
// wait; `failed_chip` (1 or 2) then names it.
int EraseBothChips(unsigned* failed_chip);

// The identify byte at address 1 of chip 1; 0 means no cartridge. Leaves chip 1 in ID mode.
std::uint8_t ProbeCartridge();

// A poll that reads 0xFF counts as done only while the linker still answers.
int FlashByte(std::uint32_t address, std::uint8_t value, int retries);

// The mirror test; a blank header (28 bytes of 0xFF) cannot be told apart and gives 0x400000.
std::uint32_t MeasureCartridgeSize();
int MatchesAt(std::span<const std::uint8_t> buffer, std::uint32_t address);

}  // namespace tidewick
