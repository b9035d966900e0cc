// On Linux and other POSIX systems the port rights come with portio's backend: the kernel's
// parallel-port device, or direct I/O for a process with the right privileges. portio gives up
// any extra privileges (setuid root, capabilities) as soon as the port is open.
#include "tidewick/port_access.h"

namespace tidewick {

bool GainPortRights() {
    return true;
}

}  // namespace tidewick
