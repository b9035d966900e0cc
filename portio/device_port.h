// A simulated linker device put behind PortRead/PortWrite without the LINKSIM file: for
// benchmarks and tests that build the device themselves.
#pragma once

#include <memory>

#include "portio/portio.h"

namespace linksim {
class Device;
}

namespace portio {

// A backend that passes every access to `device`, which the caller keeps alive.
std::unique_ptr<PortBackend> MakeDevicePort(linksim::Device* device);

}  // namespace portio
