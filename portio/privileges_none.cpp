// Platforms where a program cannot start with more rights than its user in the Unix sense:
// there is nothing to give up.
#include "portio/backends.h"

namespace portio {

bool DropPrivileges(std::string*) {
    return true;
}

bool StartedWithMoreRights() {
    return false;
}

}  // namespace portio
