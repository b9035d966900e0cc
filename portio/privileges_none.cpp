// Platforms where a program cannot start with more rights than its user in the Unix sense:
// there is nothing to give up.
#include "portio/portio.h"

namespace portio {

bool DropPrivileges(std::string*) {
    return true;
}

}  // namespace portio
