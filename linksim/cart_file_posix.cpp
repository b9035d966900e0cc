// The cartridge file, mapped shared so that every program or erase lands in the file at once and
// survives however the program ends.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "linksim/device.h"

namespace linksim {
namespace {

class MappedFile final : public CartStore {
  public:
    MappedFile(std::uint8_t* data, std::uint32_t size) : data_(data), size_(size) {}
    ~MappedFile() override { munmap(data_, size_); }
    std::uint8_t* Data() override { return data_; }
    std::uint32_t Size() const override { return size_; }

  private:
    std::uint8_t* data_;
    std::uint32_t size_;
};

std::string Fail(const std::string& path, const char* what) {
    return "LINKSIM: cannot " + std::string(what) + " '" + path + "': " + std::strerror(errno);
}

// Creates `path` as a blank (all 0xFF) 4 MiB cartridge; an existing file is never touched.
int CreateBlank(const std::string& path, std::string* error) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = Fail(path, "create");
        return -1;
    }
    std::vector<std::uint8_t> blank(kMaxCartBytes, 0xFF);
    std::size_t done = 0;
    while (done < blank.size()) {
        ssize_t n = write(fd, blank.data() + done, blank.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            *error = Fail(path, "write the blank cartridge");
            close(fd);
            unlink(path.c_str());
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return fd;
}

}  // namespace

std::unique_ptr<CartStore> OpenCartFile(const std::string& path, std::string* error) {
    if (path.empty()) {
        *error = "LINKSIM: no cartridge file given";
        return nullptr;
    }
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = CreateBlank(path, error);
        if (fd < 0) return nullptr;
    } else if (fd < 0) {
        *error = Fail(path, "open");
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        *error = Fail(path, "read the size of");
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode) || !IsCartSize(static_cast<std::uint64_t>(st.st_size))) {
        *error = "LINKSIM: '" + path + "' is " + std::to_string(st.st_size) +
                 " bytes; a cartridge file must be 1048576 (8 Mbit), 2097152 (16 Mbit) or "
                 "4194304 (32 Mbit) bytes";
        close(fd);
        return nullptr;
    }
    auto size = static_cast<std::uint32_t>(st.st_size);
    void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) {
        *error = Fail(path, "map");
        return nullptr;
    }
    return std::make_unique<MappedFile>(static_cast<std::uint8_t*>(map), size);
}

}  // namespace linksim
