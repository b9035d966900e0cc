// A file the tool reads (the image of /w, the file of /v): read whole into memory at once, so
// that what is written or compared is one consistent copy, and opened so that a FIFO or a
// device is refused instead of waited on.
#pragma once

#include <cstdint>
#include <vector>

namespace tidewick {

enum class InputRead {
    Done,        // `bytes` holds the whole file
    CantOpen,    // no such file, no permission
    NotRegular,  // a folder, FIFO, device or socket
    TooLarge,    // longer than `limit`: not read; `size` is its length
    ReadError,   // reading failed after `size` bytes
};

// One file per OS provides it.
InputRead ReadInputFile(const char* path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                        std::uint64_t* size);

}  // namespace tidewick
