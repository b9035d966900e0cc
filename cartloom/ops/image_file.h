// Loading a file into ImageFile for a write, a verify or a restore: the file the Open dialog
// names is checked (whole 32 KB blocks, a readable start, optionally a game header) and opened
// afresh at offset 0.
#pragma once

#include <cstdint>

// Opens and checks the file OpenDialog1FileName names, then reopens it into ImageFile at offset
// 0 with ImageSize set. Logs the reason and returns false when the file is refused.
bool LoadImageFile(bool checkHeader);

// Shows the Open dialog (unless reuseLastName) and loads the chosen file. A cancelled dialog
// returns false without a message; a reused name is loaded without the header test.
bool SelectImageFile(bool reuseLastName, bool checkHeader);

void ShowFileSize();

// Logs and returns false when the loaded file, placed at baseBlock, would run past the end of
// the cartridge (4 MiB, or the detected size): its blocks would wrap onto the cartridge's start.
bool ImageFitsCart(std::uint32_t baseBlock);
