// Saving the game's save-data area to a file and restoring it from one. The area is the blocks
// just below the end of the game's data, within the first flash chip.
#pragma once

#include <cstdint>

// 32 KB blocks chosen in SaveDataSizeDialog: 1, 2 or 4; 0 until the first choice.
extern std::uint32_t SaveBlocks;
