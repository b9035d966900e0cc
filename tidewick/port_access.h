// Port access for the console tool: the simulated linker when LINKSIM names a cartridge file,
// otherwise whatever the platform needs before the program may touch the port.
#pragma once

#include <cstdint>
#include <string>

namespace tidewick {

// Returns 0 when the port at LinkerPort may be used, or 1 with ErrorOccurred set. With LINKSIM
// set this always succeeds, unless the simulator itself cannot be set up: `problem` then holds
// the reason, to be shown instead of the driver message. `hint` may receive a platform note on
// why access was refused.
int OpenGiveIO(std::string* problem, std::string* hint);

// The platform half, one file per OS: gains the right to do port I/O at `base` and puts the
// real-port backend of portio behind PortRead/PortWrite. False, with an optional `hint`, when
// the right cannot be had.
bool GainPortRights(std::uint16_t base, std::string* hint);

}  // namespace tidewick
