// No parallel-port device interface is used on this platform yet; direct I/O or the absent port
// take over.
#include "portio/backends.h"

namespace portio {

std::unique_ptr<PortBackend> TryDeviceAccess(std::span<const std::uint16_t>, std::string*) {
    return nullptr;
}

}  // namespace portio
