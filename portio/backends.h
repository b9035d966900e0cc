// The OS-specific ways to reach a real port. Each lives in its own file, chosen by CMake; a
// platform without one returns nullptr with a reason.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "portio/portio.h"

namespace portio {

// The kernel's parallel-port device for every base in `bases` (nullptr when any is missing).
std::unique_ptr<PortBackend> TryDeviceAccess(std::span<const std::uint16_t> bases,
                                             std::string* why);

// Direct x86 IN/OUT on base + 0 to base + 4 of every base.
std::unique_ptr<PortBackend> TryDirectAccess(std::span<const std::uint16_t> bases,
                                             std::string* why);

// Every read gives 0xFF, writes go nowhere.
std::unique_ptr<PortBackend> MakeAbsentPort();

}  // namespace portio
