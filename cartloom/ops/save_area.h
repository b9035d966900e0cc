// The save-data area: the blocks just below the end of the game's data, within the first flash
// chip. What the save and restore of it need beyond the block loop and the dump file.
#pragma once

#include <cstdint>

// 32 KB blocks chosen for a save: 1, 2 or 4; 0 until the first choice.
extern std::uint32_t SaveBlocks;

// SaveBlocks as at program start (0).
void ResetSaveDataState();

// Reads the header for the end of the game's data. Without a header, or with no cartridge size
// known, DataBlocks is 0 or left over from another cartridge, and blocks counted down from it
// would lie below block 0 or outside this game: "Save Data Area Error!!!" is logged and false
// returned, and nothing may be read or written then.
bool ReadDataEnd();

// Lowers DataBlocks to the end of the first chip, where the area always ends at the latest.
void ClampDataEnd();

// Whether the loaded file fits between address 0 and `end`, the end of the game's data; logs
// why not.
bool RestoreFileFits(std::uint32_t end);

// The block where the loaded file starts when it is to end at DataBlocks.
std::uint32_t RestoreBaseBlock();

// Erases the area from `start` to `end` with a sector erase at every 4 KB boundary. The chip
// erases whole sectors, so data of the game that shares the first sector is read before and
// written back after, also after an erase that failed. false on a failure.
bool EraseSaveArea(std::uint32_t start, std::uint32_t end);
