// Elsewhere the system lists no parallel ports to this program: the legacy bases are all it
// searches, and a port is named by its base.
#include "portio/backends.h"

namespace portio {

std::vector<std::uint16_t> ListedParallelPorts() {
    return {};
}

std::vector<std::uint16_t> ParallelPortHardware() {
    return {};
}

}  // namespace portio
