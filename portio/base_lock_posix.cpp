// One program at a time on a port: an advisory lock (flock) on a file per base in /run/lock,
// "flash-linker-378.lock" for 0x378. The first program creates it, readable by every user, and
// every later one opens it read-only, which is all flock needs; the lock goes with the process
// however it ends, so a file left behind holds nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "portio/backends.h"

namespace portio {
namespace {

class HeldFiles final : public BaseLocks {
  public:
    ~HeldFiles() override {
        for (int fd : fds_) close(fd);
    }
    void Hold(int fd) { fds_.push_back(fd); }

  private:
    std::vector<int> fds_;
};

// Not following links, not blocking on a planted FIFO, only a regular file: a privileged start
// opens this too.
int OpenLockFile(const std::string& path) {
    constexpr int kOpenFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = open(path.c_str(), kOpenFlags);
    if (fd < 0 && errno == ENOENT) {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            fchmod(fd, 0644);  // whatever the umask: every user's programs open it
        } else if (errno == EEXIST) {
            fd = open(path.c_str(), kOpenFlags);
        }
    }
    struct stat st {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        fd = -1;
    }
    return fd;
}

}  // namespace

std::string BaseLockPath(const std::string& dir, std::uint16_t base) {
    char name[32];
    std::snprintf(name, sizeof name, "/flash-linker-%x.lock", static_cast<unsigned>(base));
    return dir + name;
}

std::unique_ptr<BaseLocks> LockBasesIn(const std::string& dir, std::span<const std::uint16_t> bases,
                                       Refusal* refusal) {
    auto held = std::make_unique<HeldFiles>();
    for (std::uint16_t base : bases) {
        // Without the folder or the right to create there, the program goes on unguarded.
        const int fd = OpenLockFile(BaseLockPath(dir, base));
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool in_use = errno == EWOULDBLOCK;
            close(fd);
            if (!in_use) continue;
            char text[96];
            std::snprintf(text, sizeof text,
                          "the flash linker at 0x%X is in use by another program", base);
            refusal->why = text;
            refusal->in_use = true;
            return nullptr;
        }
        held->Hold(fd);
    }
    return held;
}

std::unique_ptr<BaseLocks> LockBases(std::span<const std::uint16_t> bases, Refusal* refusal) {
    return LockBasesIn("/run/lock", bases, refusal);
}

}  // namespace portio
