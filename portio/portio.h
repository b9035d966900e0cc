// Single-byte access to the parallel port's I/O registers.
//
// Every read and write of either program goes through PortRead/PortWrite. Each call is exactly
// one byte access, in program order, never buffered. What stands behind them (the simulated
// linker, direct x86 I/O, the kernel's parallel-port device or an absent port) is chosen once,
// by OpenPortAccess, before the first access.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

std::uint8_t PortRead(std::uint16_t port);
void PortWrite(std::uint16_t port, std::uint8_t value);

namespace portio {

// One implementation of the two port accesses.
class PortBackend {
  public:
    virtual ~PortBackend() = default;
    virtual std::uint8_t Read(std::uint16_t port) = 0;
    virtual void Write(std::uint16_t port, std::uint8_t value) = 0;
};

enum class BackendKind { Absent, Simulated, Direct, Ppdev, Custom };

struct AccessResult {
    BackendKind kind = BackendKind::Absent;
    // Why the simulated linker could not be attached, or why direct access was refused. Empty
    // when the chosen backend came up cleanly.
    std::string message;
    // False only when the user asked for the simulator and it could not be set up; the caller
    // must then stop with `message` rather than go on with an absent port.
    bool usable = true;
};

// Chooses the backend for a program that will use the port bases in `bases` (each base + 0 to
// base + 4): the simulated linker when LINKSIM is set, else direct I/O when the process may do
// it, else the absent port. Later calls return the first result and change nothing.
AccessResult OpenPortAccess(std::span<const std::uint16_t> bases);

// The backend in use, or Absent before OpenPortAccess.
BackendKind CurrentBackend();

// Puts `backend` behind PortRead/PortWrite (tests, and the simulated linker). Returns the one it
// replaces.
std::unique_ptr<PortBackend> InstallBackend(std::unique_ptr<PortBackend> backend);

// Ends port access: the backend is destroyed (the simulator writes its file and counters).
void ClosePortAccess();

const char* BackendName(BackendKind kind);

}  // namespace portio
