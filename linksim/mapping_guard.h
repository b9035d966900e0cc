// Survives a cartridge file that shrinks while it is mapped. Another program may truncate the
// file (the lock on it is only advisory), and touching a mapped page past the file's new end
// raises SIGBUS, which would end the process. Inside a guarded mapping such a page is replaced by
// one of memory instead, and the mapping counts as lost: its contents no longer come from the
// file. A SIGBUS anywhere else is left to whatever handled it before.
#pragma once

#include <cstddef>

namespace linksim {

// Guards `size` bytes at `data`; returns the guard's number, or -1 when none is free.
int GuardMapping(void* data, std::size_t size);
void UnguardMapping(int guard);
// True once a page of the guarded mapping was found past the end of its file.
bool MappingLost(int guard);

}  // namespace linksim
