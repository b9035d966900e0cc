// Port rights on Linux and other POSIX systems come from portio's backend choice: the kernel's
// parallel-port device, or direct I/O for a process with the right privileges. portio gives up
// any extra privileges (setuid root, capabilities) as soon as the port is open.
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
    return true;
}

}  // namespace tidewick
