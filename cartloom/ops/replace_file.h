// Saving over a file the user already has: the new contents go to a temporary file beside it,
// which takes its name only once the contents are complete and checked. A save that fails
// leaves whatever stood at that name exactly as it was.
#pragma once

#include <cstdio>
#include <string>

struct FileReplacement {
    std::string target;   // the file replaced: the name given, or where a symbolic link leads
    std::string writing;  // where the contents go: a temporary beside it, or a device itself
};

// Opens a place for the new contents of the file `name` (UTF-8). nullptr when that name cannot
// take them: its folder is missing or cannot be written, it is a directory, a FIFO or a socket
// (opening one could wait forever), a file its user may not write, or the simulated
// cartridge's own file. A device (such as /dev/full) is written in place.
std::FILE* OpenReplacement(const std::string& name, FileReplacement* replacement);

// Gives the new contents the target's name (and an existing target's permissions). false when
// that fails; the temporary is then removed. Nothing to do for a device.
bool CommitReplacement(const FileReplacement& replacement);

// Throws the new contents away: the temporary is removed, the target stays as it was.
void DiscardReplacement(const FileReplacement& replacement);
