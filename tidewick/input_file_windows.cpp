#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <array>

#include "tidewick/input_file.h"

namespace tidewick {
namespace {

InputRead Closed(int fd, InputRead outcome) {
    _close(fd);
    return outcome;
}

}  // namespace

InputRead ReadInputFile(const char* path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                        std::uint64_t* size) {
    bytes->clear();
    *size = 0;
    int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0) return InputRead::CantOpen;
    struct _stati64 st {};  // XP's C runtime has no _fstat64
    if (_fstati64(fd, &st) != 0) return Closed(fd, InputRead::CantOpen);
    // NUL, CON and the serial ports are character devices.
    if ((st.st_mode & _S_IFMT) != _S_IFREG) return Closed(fd, InputRead::NotRegular);
    *size = static_cast<std::uint64_t>(st.st_size);
    if (*size > limit) return Closed(fd, InputRead::TooLarge);
    bytes->reserve(static_cast<std::size_t>(*size));
    std::array<std::uint8_t, 0x10000> chunk;
    for (;;) {
        int n = _read(fd, chunk.data(), static_cast<unsigned>(chunk.size()));
        if (n == 0) break;
        if (n < 0) {
            *size = bytes->size();
            return Closed(fd, InputRead::ReadError);
        }
        bytes->insert(bytes->end(), chunk.begin(), chunk.begin() + n);
        *size = bytes->size();
        if (*size > limit) {
            bytes->clear();
            return Closed(fd, InputRead::TooLarge);
        }
    }
    return Closed(fd, InputRead::Done);
}

}  // namespace tidewick
