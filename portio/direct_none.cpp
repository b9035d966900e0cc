// Platforms without x86 port instructions.
#include "portio/backends.h"

namespace portio {

std::unique_ptr<PortBackend> TryDirectAccess(std::span<const std::uint16_t>, Refusal* refusal) {
    refusal->why = "direct port I/O is not available on this platform";
    return nullptr;
}

}  // namespace portio
