#include "tidewick/port_access.h"

#include <array>

#include "portio/portio.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

int Fail() {
    ErrorOccurred = true;
    return 1;
}

}  // namespace

int OpenGiveIO(std::string* problem, std::string* hint) {
    const std::array<std::uint16_t, 1> bases = {LinkerBase()};
    const portio::AccessResult access = portio::OpenPortAccess(bases);
    using portio::AccessOutcome;
    if (access.kind == portio::BackendKind::Simulated) {
        // The simulator needs no driver; only its own set-up can fail.
        if (access.outcome == AccessOutcome::Ready) return 0;
        *problem = access.reason;
        return Fail();
    }
    if (!GainPortRights()) return Fail();
    if (access.outcome == AccessOutcome::Refused || access.outcome == AccessOutcome::Unusable) {
        *hint = access.reason;
        return Fail();
    }
    return 0;
}

}  // namespace tidewick
