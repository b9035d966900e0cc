// Loading a game image, writing it to the cartridge and verifying the cartridge against it.
// The block loop and the verify pass take a starting block, so other operations can reuse them
// for files that start further into the cartridge.
#pragma once

#include <cstdint>

// Opens and checks the file OpenDialog1 names, then reopens it into ImageFile at offset 0 with
// ImageSize set. Logs the reason and returns false when the file is refused.
bool LoadImageFile(bool checkHeader);

// Shows OpenDialog1 (unless reuseLastName) and loads the chosen file. A cancelled dialog returns
// false without a message; a reused name is loaded without the header test.
bool SelectImageFile(bool reuseLastName, bool checkHeader);

void ShowFileSize();

// Logs and returns false when the loaded file, placed at baseBlock, would run past the end of
// the cartridge (4 MiB, or the detected size): its blocks would wrap onto the cartridge's start.
bool ImageFitsCart(std::uint32_t baseBlock);

// The block loop over the loaded file: programs each block (or compares it when verify) at
// cartridge block baseBlock + i. true when every block was done.
bool TransferImage(bool verify, std::uint32_t baseBlock);

// A whole verify pass of the loaded file as its own operation; closes the file.
void VerifyImage(std::uint32_t baseBlock);

// Begins an operation and erases the flash, checking it blank. On success the operation is left
// running for the caller; on failure it is logged and ended.
bool EraseAllChips(bool reportOk);
