#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "tidewick/backup_file.h"

namespace tidewick {
namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit; a loop then fails to open

// "dir/" for "dir/name", "" for a bare name.
std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows symbolic links in the last part of the name, also to a target that does not exist
// yet, so that the temporary file is made beside the real file and the link stays a link.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) break;
        std::string next(target.data(), static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : FolderOf(path) + next;
    }
    return path;
}

mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

bool Fail(std::string* reason, int error) {
    *reason = std::strerror(error);
    return false;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes, std::string* reason) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(reason, errno);
        }
        if (n == 0) return Fail(reason, EIO);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Best effort: the rename itself reaches the disk with the folder's next write-back.
void SyncFolderOf(const std::string& path) {
    std::string folder = FolderOf(path);
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

BackupTargetInfo InspectBackupTarget(const char* path) {
    BackupTargetInfo info;
    struct stat st {};
    info.exists = lstat(path, &st) == 0;
    info.destination = FollowLinks(path);
    if (stat(info.destination.c_str(), &st) != 0) {
        info.kind = BackupTarget::Missing;
    } else if (S_ISREG(st.st_mode)) {
        info.kind = BackupTarget::Regular;
    } else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
        info.kind = BackupTarget::Stream;
    } else {
        info.kind = BackupTarget::Unfit;
    }
    return info;
}

bool OpenBackupFile(const BackupTargetInfo& target, BackupFile* file) {
    *file = BackupFile{};
    file->destination = target.destination;
    const char* destination = target.destination.c_str();
    if (target.kind == BackupTarget::Stream) {
        // Without a reader a FIFO would block here: refuse it instead (ENXIO).
        int fd = open(destination, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        file->fd = fd;
        return true;
    }
    if (target.kind != BackupTarget::Regular && target.kind != BackupTarget::Missing) return false;

    mode_t mode = NewFileMode();
    struct stat old {};
    const bool replacing = stat(destination, &old) == 0;
    // A new name must really be free: not a loop of links, which a rename would replace.
    if (!replacing && (lstat(destination, &old) == 0 || errno != ENOENT)) return false;
    if (replacing) {
        // The folder may let us replace a file we may not write; a read-only file stays.
        if (access(destination, W_OK) != 0) return false;
        mode = old.st_mode & 0777;
    }
    std::string name = target.destination.substr(FolderOf(target.destination).size());
    std::string pattern = FolderOf(target.destination) + "." + name + ".XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return false;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    file->temporary = pattern;
    file->fd = fd;
    if (replacing && fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only root may give a file away; the backup is then the user's own.
    }
    if (fchmod(fd, mode) != 0) {
        DiscardBackupFile(file);
        return false;
    }
    return true;
}

bool CommitBackupFile(BackupFile* file, std::span<const std::uint8_t> bytes, std::string* reason) {
    bool ok = WriteAll(file->fd, bytes, reason);
    if (ok && !file->temporary.empty() && fsync(file->fd) != 0) ok = Fail(reason, errno);
    int fd = file->fd;
    file->fd = -1;
    if (close(fd) != 0 && ok) ok = Fail(reason, errno);
    if (ok && !file->temporary.empty()) {
        if (rename(file->temporary.c_str(), file->destination.c_str()) != 0) {
            ok = Fail(reason, errno);
        } else {
            file->temporary.clear();
            SyncFolderOf(file->destination);
        }
    }
    if (!ok) DiscardBackupFile(file);
    return ok;
}

void DiscardBackupFile(BackupFile* file) {
    if (file->fd >= 0) close(file->fd);
    file->fd = -1;
    if (!file->temporary.empty()) unlink(file->temporary.c_str());
    file->temporary.clear();
}

}  // namespace tidewick
