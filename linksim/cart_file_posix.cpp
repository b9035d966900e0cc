// The cartridge file, mapped shared so that every program or erase lands in the file at once and
// survives however the program ends. The run holds an exclusive lock on it, as a real linker is
// held by one program at a time, and a file another program shrinks under the mapping ends the
// linker's answers instead of the process (mapping_guard.h).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "linksim/device.h"
#include "linksim/mapping_guard.h"

namespace linksim {
namespace {

class MappedFile final : public CartStore {
  public:
    MappedFile(std::string path, int fd, std::uint8_t* data, std::uint32_t size, int guard)
        : path_(std::move(path)), fd_(fd), data_(data), size_(size), guard_(guard) {}
    ~MappedFile() override {
        munmap(data_, size_);
        UnguardMapping(guard_);
        close(fd_);  // and with it the lock
    }
    std::uint8_t* Data() override { return data_; }
    std::uint32_t Size() const override { return size_; }
    bool Lost() const override {
        if (!MappingLost(guard_)) return false;
        if (!reported_) {
            reported_ = true;
            std::fprintf(stderr,
                         "LINKSIM: '%s' shrank while the simulated linker used it; the linker "
                         "stops answering\n",
                         path_.c_str());
        }
        return true;
    }

  private:
    std::string path_;
    int fd_;
    std::uint8_t* data_;
    std::uint32_t size_;
    int guard_;
    mutable bool reported_ = false;
};

std::string Fail(const std::string& path, const char* what) {
    return "LINKSIM: cannot " + std::string(what) + " '" + path + "': " + std::strerror(errno);
}

// Fills the new file `fd` as a blank (all 0xFF) 4 MiB cartridge.
bool WriteBlank(int fd, const std::string& path, std::string* error) {
    std::vector<std::uint8_t> blank(kMaxCartBytes, 0xFF);
    std::size_t done = 0;
    while (done < blank.size()) {
        ssize_t n = write(fd, blank.data() + done, blank.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            *error = Fail(path, "write the blank cartridge");
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::unique_ptr<CartStore> OpenCartFile(const std::string& path, std::string* error) {
    if (path.empty()) {
        *error = "LINKSIM: no cartridge file given";
        return nullptr;
    }
    bool created = false;
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        // A missing file is created; an existing one is never replaced.
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        created = fd >= 0;
        if (fd < 0) {
            *error = Fail(path, "create");
            return nullptr;
        }
    } else if (fd < 0) {
        *error = Fail(path, "open");
        return nullptr;
    }
    // Held until the store is gone. A file system without locks leaves the run unguarded.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        *error = "LINKSIM: '" + path +
                 "' is in use by another program (a simulated linker serves one program at a "
                 "time)";
        close(fd);
        return nullptr;
    }
    if (created && !WriteBlank(fd, path, error)) {
        close(fd);
        unlink(path.c_str());
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
    if (map == MAP_FAILED) {
        *error = Fail(path, "map");
        close(fd);
        return nullptr;
    }
    const int guard = GuardMapping(map, size);
    if (guard < 0) {
        *error = "LINKSIM: too many cartridge files are open at once";
        munmap(map, size);
        close(fd);
        return nullptr;
    }
    return std::make_unique<MappedFile>(path, fd, static_cast<std::uint8_t*>(map), size, guard);
}

}  // namespace linksim
