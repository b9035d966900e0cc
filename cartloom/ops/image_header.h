// The header at the start of every game image and at cartridge address 0: the marker text,
// start-up address, ID codes, colour mode and title. All tests here work on BlockBuffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int HeaderNone = 0;
inline constexpr int HeaderMarker = 1;
inline constexpr int HeaderBlank = 2;

// What the last cartridge header read found (texts in UTF-8).
extern std::string CartTitle;     // at most 13 characters, up to the first 0 byte
extern std::string CartCaption;   // color "TITLE" or bw "TITLE"
extern std::uint32_t DataBlocks;  // 32 KB blocks the game occupies, or 0 when unknown

// The three as at program start: empty, and 0.
void ResetHeaderState();

// Blank when the first `length` bytes of BlockBuffer are all 0xFF, marker when its first 28
// bytes (up to a 0 byte) hold one of the marker words, none otherwise. `length` is the whole
// buffer unless the caller knows that only part of it was just filled.
int ClassifyHeader(std::size_t length = 0x8000);

// Sets CartTitle and CartCaption from BlockBuffer.
void DecodeCartHeader();

// Reads the cartridge's header and probes how many blocks the game occupies. Returns DataBlocks,
// or 0 when no game header was found (logged), no cartridge size is known, or the linker has
// stopped answering (logged; LinkAnswered is then false).
std::uint32_t ReadCartHeader();

// Logs the game name and the colour mode of the image whose first bytes are in BlockBuffer.
void ShowFileHeader();
