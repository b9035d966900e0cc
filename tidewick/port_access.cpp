#include "tidewick/port_access.h"

#include <array>
#include <cstdlib>

#include "portio/portio.h"
#include "tidewick/settings.h"

namespace tidewick {

int OpenGiveIO(std::string* problem, std::string* hint) {
    const std::array<std::uint16_t, 1> bases = {LinkerBase()};
    // The simulator needs no driver, so the platform step is skipped for it (the same test as
    // portio's backend choice).
    const char* sim = std::getenv("LINKSIM");
    if (sim != nullptr && *sim != '\0') {
        portio::AccessResult result = portio::OpenPortAccess(bases);
        if (result.usable) return 0;
        *problem = result.message;
        ErrorOccurred = true;
        return 1;
    }
    if (!GainPortRights(LinkerBase(), hint)) {
        ErrorOccurred = true;
        return 1;
    }
    return 0;
}

}  // namespace tidewick
