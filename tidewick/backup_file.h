// Where a backup goes. A regular file (or a new name) is replaced only by a complete backup: it
// is written to a temporary file beside the real file (symbolic links followed) and renamed
// over it at the end; until then, and on any failure, what stood there stays as it was. A
// stream (a character device such as /dev/null, or a FIFO with a reader) has nothing a rename
// could keep safe and is written in place, once the backup is complete. Anything else (a
// folder, a block device, a socket) is refused. One file per OS provides this.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tidewick {

enum class BackupTarget { Missing, Regular, Stream, Unfit };

struct BackupTargetInfo {
    BackupTarget kind = BackupTarget::Missing;
    bool exists = false;      // something stands at the name (the overwrite question)
    std::string destination;  // the real file once symbolic links are followed
};

BackupTargetInfo InspectBackupTarget(const char* path);

struct BackupFile {
    std::string destination;
    std::string temporary;  // empty when the destination is written in place
    int fd = -1;
};

// Creates the temporary file, with the replaced file's permissions (those of a new file for a
// new name), or opens the stream. False, with nothing created, when the target cannot be
// written: a read-only file or folder, a folder that is gone, a FIFO without a reader.
bool OpenBackupFile(const BackupTargetInfo& target, BackupFile* file);

// Writes `bytes`, makes them durable and puts them in place. False with the reason, and with
// the temporary file removed, when any step fails.
bool CommitBackupFile(BackupFile* file, std::span<const std::uint8_t> bytes, std::string* reason);

// Closes and removes the temporary file; the destination is left as it was.
void DiscardBackupFile(BackupFile* file);

}  // namespace tidewick
