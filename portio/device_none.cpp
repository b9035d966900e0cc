// Only Linux has a parallel-port device interface this program uses; elsewhere direct I/O or
// the absent port take over.
#include "portio/backends.h"

namespace portio {

std::unique_ptr<PortBackend> TryDeviceAccess(std::span<const std::uint16_t>, Refusal* refusal) {
    refusal->why = "the kernel's parallel-port device is used only on Linux";
    return nullptr;
}

}  // namespace portio
