// Saving cartridge blocks to a file (a full backup, or the save-data area) and verifying the new
// file against the cartridge.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Lets the user choose a file, saves ProgressTotal blocks from startBlock on into it, reports,
// and verifies the new file against the cartridge.
void SaveBlocksToFile(std::uint32_t startBlock);

// Shows the Save dialog and creates the chosen file as ImageFile. true when it was created.
bool ChooseDumpFile();

// Saves ProgressTotal blocks from startBlock on into ImageFile. true when all were saved.
bool DumpBlocks(std::uint32_t startBlock);

// Writes the whole BlockBuffer to ImageFile. true only when all of it reached the file.
bool WriteFileBlock();

// The file name proposed for a dump of the game called `title` (UTF-8): the title with every
// character that a file name cannot hold (path separators, control and reserved characters)
// replaced by '_', and the blanks that pad a title removed. May be empty.
std::string DumpFileName(std::string_view title);
