// Port access for the console tool: the simulated linker when LINKSIM names a cartridge file,
// otherwise whatever the platform needs before the program may touch the port.
#pragma once

#include <string>

namespace tidewick {

// Returns 0 when the port at LinkerPort may be used, or 1 with ErrorOccurred set. `problem` then
// holds what failed (the simulator could not be set up, the port is in use, or no way to it is
// open to the process, each with its remedy), to be shown instead of the driver message; it is
// left empty when the platform's port-access driver could not be opened.
int OpenGiveIO(std::string* problem);

// The platform's own step before a real port may be used, one file per OS: on Windows, the
// port-access driver that grants IN and OUT; elsewhere nothing (portio gained the rights when it
// chose the backend). False when it cannot be done.
bool GainPortRights();

}  // namespace tidewick
