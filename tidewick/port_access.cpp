#include "tidewick/port_access.h"

#include <array>

#include "portio/portio.h"
#include "tidewick/settings.h"

namespace tidewick {
int OpenGiveIO(std::string* problem) {
    const std::array<std::uint16_t, 1> bases = {LinkerBase()};
    const portio::AccessResult access = portio::OpenPortAccess(bases);
    using portio::AccessOutcome;
    // What portio could not have says what failed itself: the driver is not the reason.
    if (access.outcome == AccessOutcome::Refused || access.outcome == AccessOutcome::Unusable) {
        *problem = access.reason;
        return Failed();
    }
    // The simulator needs no driver.
    if (access.kind == portio::BackendKind::Simulated) return 0;
    if (!GainPortRights()) return Failed();
    return 0;
}

}  // namespace tidewick
