// Port access for the console tool: the simulated linker when LINKSIM names a cartridge file,
// otherwise whatever the platform needs before the program may touch the port.
#pragma once

#include <string>

namespace tidewick {

// Returns 0 when the port at LinkerPort may be used, or 1 with ErrorOccurred set. When the
// simulator itself cannot be set up, `problem` holds the reason, to be shown instead of the
// driver message; otherwise `hint` may receive why port access was refused.
int OpenGiveIO(std::string* problem, std::string* hint);

// The platform's own step before a real port may be used, one file per OS: on Windows, the
// port-access driver that grants IN and OUT; elsewhere nothing (portio gained the rights when it
// chose the backend). False when it cannot be done.
bool GainPortRights();

}  // namespace tidewick
