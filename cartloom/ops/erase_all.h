// The erase of the whole cartridge before a write, or from the Erase button.
#pragma once

// Begins an operation and erases the flash (chip 1, and chip 2 on a 32 Mbit cartridge), checking
// it blank. On success the operation is left running for the caller; on failure it is logged
// and ended.
bool EraseAllChips(bool reportOk);
