// The OS-specific ways to reach a real port, and the choice between them. Each way lives in its
// own file, chosen by CMake; a platform without one returns nullptr with a reason.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

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

// Held for the life of a run on a real port: no other program of this kind uses those bases.
class BaseLocks {
  public:
    virtual ~BaseLocks() = default;
};

// Takes the lock of every base in `bases`: an advisory lock on a file per base in /run/lock
// (POSIX), or a named mutex per base (Windows). nullptr, with the reason and in_use set, when
// another program holds one; then none is held. Where a lock cannot be made at all (no such
// folder, no right to create there) that base goes unguarded.
std::unique_ptr<BaseLocks> LockBases(std::span<const std::uint16_t> bases, Refusal* refusal);
// The same in `dir` (tests); and the name of the lock of `base` there.
std::unique_ptr<BaseLocks> LockBasesIn(const std::string& dir, std::span<const std::uint16_t> bases,
                                       Refusal* refusal);
std::string BaseLockPath(const std::string& dir, std::uint16_t base);

// Every read gives 0xFF, writes go nowhere.
std::unique_ptr<PortBackend> MakeAbsentPort();

// The bases of the parallel ports the system lists (on Linux those the kernel's port driver
// runs), in its order.
std::vector<std::uint16_t> ListedParallelPorts();

// Those and the I/O ranges of parallel-port cards the driver may not run (PCI): what a start
// with more rights than its user may reach besides 0x378, 0x278 and 0x3BC.
std::vector<std::uint16_t> ParallelPortHardware();

// True when the process runs with more rights than its user: a setuid or setgid start, or
// capabilities a non-root user got from the file.
bool StartedWithMoreRights();

// The simulated linker on cartridge file `file`; nullptr with the reason when it cannot be set up.
std::unique_ptr<PortBackend> MakeSimulatedPort(const std::string& file, const std::string& options,
                                               std::string* error);

using PortProbe =
    std::function<std::unique_ptr<PortBackend>(std::span<const std::uint16_t>, Refusal*)>;
using BaseLocker =
    std::function<std::unique_ptr<BaseLocks>(std::span<const std::uint16_t>, Refusal*)>;

// Everything the choice of backend reads from outside the process, so that tests can set it.
struct ChoiceInputs {
    std::string linksim;       // LINKSIM
    std::string linksim_opts;  // LINKSIM_OPTS
    std::string forced;        // PORTIO: empty, "direct", "ppdev" or "absent"
    PortProbe device = TryDeviceAccess;
    PortProbe direct = TryDirectAccess;
    std::function<bool(std::string*)> drop_privileges = DropPrivileges;
    BaseLocker lock_bases = LockBases;
    std::function<bool()> elevated = StartedWithMoreRights;
    std::function<std::vector<std::uint16_t>()> parallel_hardware = ParallelPortHardware;
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
// a real port was reached. A start with more rights than its user asks for no port that is not
// a parallel port's base: it stops before any port right is asked for. A real port is only
// reached with the lock of its bases held (LockBases): a port another program holds stops the
// run before anything is touched.
Choice ChooseBackend(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs);

}  // namespace portio
