// The OS-specific ways to reach a real port, and the choice between them. Each way lives in its
// own file, chosen by CMake; a platform without one returns nullptr with a reason.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "portio/portio.h"

namespace portio {

// Why a way to the port could not be had.
struct Refusal {
    std::string why;
    // Another program or driver holds the port: the run must stop rather than try another way.
    bool in_use = false;
};

// The kernel's parallel-port device for the bases in `bases` that have one (the others read
// 0xFF); nullptr with the reason when none of them could be opened and claimed, or when one is
// in use.
std::unique_ptr<PortBackend> TryDeviceAccess(std::span<const std::uint16_t> bases,
                                             Refusal* refusal);

// Direct x86 IN/OUT on base + 0 to base + 4 of every base.
std::unique_ptr<PortBackend> TryDirectAccess(std::span<const std::uint16_t> bases,
                                             Refusal* refusal);

// Every read gives 0xFF, writes go nowhere.
std::unique_ptr<PortBackend> MakeAbsentPort();

// The simulated linker on cartridge file `file`; nullptr with the reason when it cannot be set up.
std::unique_ptr<PortBackend> MakeSimulatedPort(const std::string& file, const std::string& options,
                                               std::string* error);

using PortProbe =
    std::function<std::unique_ptr<PortBackend>(std::span<const std::uint16_t>, Refusal*)>;

// Everything the choice of backend reads from outside the process, so that tests can set it.
struct ChoiceInputs {
    std::string linksim;       // LINKSIM
    std::string linksim_opts;  // LINKSIM_OPTS
    std::string forced;        // PORTIO: empty, "direct", "ppdev" or "absent"
    PortProbe device = TryDeviceAccess;
    PortProbe direct = TryDirectAccess;
    std::function<bool(std::string*)> drop_privileges = DropPrivileges;
};

struct Choice {
    std::unique_ptr<PortBackend> backend;  // never null
    AccessResult result;
    // False when the process still holds privileges it could not give up; it must not go on.
    bool privileges_dropped = true;
};

// The simulator when `linksim` is set; else the forced backend, or the first of direct I/O and
// the kernel's device that comes up; else the absent port. A port in use by another program
// stops the run. Privileges are given up before the simulator's file is opened, and right after
// a real port was reached.
Choice ChooseBackend(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs);

}  // namespace portio
