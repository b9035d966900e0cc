#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "tidewick/input_file.h"

namespace tidewick {
namespace {

InputRead Closed(int fd, InputRead outcome) {
    close(fd);
    return outcome;
}

}  // namespace

InputRead ReadInputFile(const char* path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                        std::uint64_t* size) {
    bytes->clear();
    *size = 0;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked next.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return InputRead::CantOpen;
    struct stat st {};
    if (fstat(fd, &st) != 0) return Closed(fd, InputRead::CantOpen);
    if (!S_ISREG(st.st_mode)) return Closed(fd, InputRead::NotRegular);
    *size = static_cast<std::uint64_t>(st.st_size);
    if (*size > limit) return Closed(fd, InputRead::TooLarge);
    bytes->reserve(static_cast<std::size_t>(*size));
    std::array<std::uint8_t, 0x10000> chunk;
    for (;;) {
        ssize_t n = read(fd, chunk.data(), chunk.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            *size = bytes->size();
            return Closed(fd, InputRead::ReadError);
        }
        bytes->insert(bytes->end(), chunk.begin(), chunk.begin() + n);
        *size = bytes->size();
        // It grew while it was read.
        if (*size > limit) {
            bytes->clear();
            return Closed(fd, InputRead::TooLarge);
        }
    }
    return Closed(fd, InputRead::Done);
}

}  // namespace tidewick
