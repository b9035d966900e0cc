// Writing the loaded file to the cartridge, and comparing the cartridge with it. Both take a
// starting block, so that files that start further into the cartridge (save data) use them too.
#pragma once

#include <cstdint>

// The block loop over the loaded file: programs each block (or compares it when verify) at
// cartridge block baseBlock + i. true when every block was done. Neither begins nor ends the
// operation, nor closes the file.
bool TransferImage(bool verify, std::uint32_t baseBlock);

// A whole verify pass of the loaded file as its own operation; closes the file. true when the
// cartridge holds the file.
bool VerifyImage(std::uint32_t baseBlock);
