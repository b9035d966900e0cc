// Windows: the temporary file sits beside the target under a name _mktemp makes unique and is
// moved over it with MoveFileEx. Symbolic links are left to the system (they are rare there).
// Only what the C runtime of Windows XP has is used (no _s functions, no _stat64).
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "tidewick/backup_file.h"

namespace tidewick {
namespace {

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\:");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool Fail(std::string* reason, int error) {
    *reason = std::strerror(error);
    return false;
}

}  // namespace

BackupTargetInfo InspectBackupTarget(const char* path) {
    BackupTargetInfo info;
    info.destination = path;
    struct _stati64 st {};
    if (_stati64(path, &st) != 0) return info;
    info.exists = true;
    const unsigned type = st.st_mode & _S_IFMT;
    info.kind = type == _S_IFREG   ? BackupTarget::Regular
                : type == _S_IFCHR ? BackupTarget::Stream
                                   : BackupTarget::Unfit;
    return info;
}

bool OpenBackupFile(const BackupTargetInfo& target, BackupFile* file) {
    *file = BackupFile{};
    file->destination = target.destination;
    const char* destination = target.destination.c_str();
    if (target.kind == BackupTarget::Stream) {
        file->fd = _open(destination, _O_WRONLY | _O_BINARY);
        return file->fd >= 0;
    }
    if (target.kind != BackupTarget::Regular && target.kind != BackupTarget::Missing) return false;
    if (target.kind == BackupTarget::Regular && _access(destination, 2) != 0) return false;

    std::string name = target.destination.substr(FolderOf(target.destination).size());
    std::string pattern = FolderOf(target.destination) + "." + name + ".XXXXXX";
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');
    if (_mktemp(temporary.data()) == nullptr) return false;
    int fd =
        _open(temporary.data(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return false;
    file->temporary = temporary.data();
    file->fd = fd;
    return true;
}

bool CommitBackupFile(BackupFile* file, std::span<const std::uint8_t> bytes, std::string* reason) {
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const std::size_t step = std::min<std::size_t>(bytes.size() - done, 0x10000);
        int n = _write(file->fd, bytes.data() + done, static_cast<unsigned>(step));
        if (n <= 0) {
            ok = Fail(reason, n < 0 ? errno : EIO);
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    if (ok && !file->temporary.empty() && _commit(file->fd) != 0) ok = Fail(reason, errno);
    int fd = file->fd;
    file->fd = -1;
    if (_close(fd) != 0 && ok) ok = Fail(reason, errno);
    if (ok && !file->temporary.empty()) {
        if (!MoveFileExA(file->temporary.c_str(), file->destination.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            *reason = std::system_category().message(static_cast<int>(GetLastError()));
            ok = false;
        } else {
            file->temporary.clear();
        }
    }
    if (!ok) DiscardBackupFile(file);
    return ok;
}

void DiscardBackupFile(BackupFile* file) {
    if (file->fd >= 0) _close(file->fd);
    file->fd = -1;
    if (!file->temporary.empty()) _unlink(file->temporary.c_str());
    file->temporary.clear();
}

}  // namespace tidewick
