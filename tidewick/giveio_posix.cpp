// Port rights on Linux and other POSIX systems come from portio's backend choice: the kernel's
// parallel-port device, or direct I/O for a process with the right privileges. A program
// installed setuid root gives the extra rights up once the port is open (a no-op when portio
// has done so already).
#include <unistd.h>

#include <array>

#include "portio/portio.h"
#include "tidewick/port_access.h"

namespace tidewick {

bool GainPortRights(std::uint16_t base, std::string* hint) {
    const std::array<std::uint16_t, 1> bases = {base};
    portio::AccessResult result = portio::OpenPortAccess(bases);
    // Refused access comes back as the absent port with a reason; an absent port chosen on
    // purpose carries none, and the linker test then reports that nothing answers.
    bool refused = result.kind == portio::BackendKind::Absent && !result.message.empty();
    if (!result.usable || refused) {
        *hint = result.message;
        return false;
    }
    bool dropped = (getegid() == getgid() || setgid(getgid()) == 0) &&
                   (geteuid() == getuid() || setuid(getuid()) == 0);
    if (!dropped) *hint = "could not give up the privileges the port needed";
    return dropped;
}

}  // namespace tidewick
