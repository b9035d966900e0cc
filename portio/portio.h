// Single-byte access to the parallel port's I/O registers.
//
// Every read and write of either program goes through PortRead/PortWrite/PortReadRun. Each
// access is exactly one byte access, in program order, never buffered. What stands behind them
// (the simulated linker, direct x86 I/O, the kernel's parallel-port device or an absent port) is
// chosen once, by OpenPortAccess, before the first access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

std::uint8_t PortRead(std::uint16_t port);
void PortWrite(std::uint16_t port, std::uint8_t value);
// `n` reads of `port` into out[0] to out[n - 1]: the same n accesses as n PortRead calls, in
// order, given to the backend at once so that it can hand them to the kernel together (the
// auto-increment page reads).
void PortReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n);

namespace portio {

// One implementation of the two port accesses.
class PortBackend {
  public:
    virtual ~PortBackend() = default;
    virtual std::uint8_t Read(std::uint16_t port) = 0;
    virtual void Write(std::uint16_t port, std::uint8_t value) = 0;
    // `n` reads of `port`. As n single reads here; a backend that can pass a run on at once
    // does so.
    virtual void ReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) out[i] = Read(port);
    }
    // True when the device behind the port keeps its contents in the file `path` names (a
    // simulated cartridge); a real port has no such file.
    virtual bool KeepsContentsIn(const std::string& path) const {
        (void)path;
        return false;
    }
};

enum class BackendKind { Absent, Simulated, Direct, Ppdev, Custom };

// What opening port access came to. Both programs act on this alone.
enum class AccessOutcome {
    Ready,     // a port, real or simulated, stands behind PortRead/PortWrite
    Absent,    // the absent port, asked for (PORTIO=absent): the linker is simply not found
    Refused,   // no way to a real port was open to this process; the absent port stands in
    Unusable,  // what the user asked for (LINKSIM, PORTIO) cannot be had: the program must stop
};

struct AccessResult {
    AccessOutcome outcome = AccessOutcome::Absent;
    // Ready: the backend in place. Unusable: the one that was asked for and cannot be had
    // (Absent for a PORTIO word that names none). Otherwise Absent.
    BackendKind kind = BackendKind::Absent;
    // Why, for Refused and Unusable; empty otherwise.
    std::string reason;
};

// Chooses the backend for a program that will use the port bases in `bases` (each base + 0 to
// base + 4): the simulated linker when LINKSIM is set, else the kernel's parallel-port device
// (Linux) when one has such a base and can be opened, else direct I/O when the process may do
// it, else the absent port (Refused). PORTIO=ppdev, direct or absent forces one of the last
// three; when the forced one cannot be had, or PORTIO names none of them, the outcome is
// Unusable. Privileges beyond the real user's are given up (DropPrivileges) before this
// returns, and before the simulator's file is opened; if they cannot be, the program stops with
// a message on stderr. Later calls return the first result and change nothing.
AccessResult OpenPortAccess(std::span<const std::uint16_t> bases);

// Gives up for good whatever the process holds beyond its real user: the effective and saved
// user and group ids of a setuid or setgid start, and capabilities a non-root user got from the
// file (setcap). Checks that they cannot be taken back. True when nothing is left (or nothing
// was held); false with the reason otherwise.
bool DropPrivileges(std::string* why);

// The backend in use, or Absent before OpenPortAccess.
BackendKind CurrentBackend();

// The bases of the parallel ports the system lists, in its order: with the simulated linker in
// place its one port, otherwise those the kernel's port driver runs (Linux; elsewhere none). The
// legacy bases 0x378, 0x278 and 0x3BC are among them only when the system lists them.
std::vector<std::uint16_t> ListParallelPorts();

// True when `path` names the file the simulated linker keeps its cartridge in (the same file by
// any name); false without the simulator, or when `path` names nothing. A program must not
// write a file of its own over the cartridge it is reading.
//
// SameFile: whether two names lead to the same file.
bool IsSimulatorCartridge(const std::string& path);
bool SameFile(const std::string& a, const std::string& b);

// Puts `backend` behind PortRead/PortWrite (tests, and the simulated linker). Returns the one it
// replaces.
std::unique_ptr<PortBackend> InstallBackend(std::unique_ptr<PortBackend> backend);

// Ends port access: the backend is destroyed (the simulator writes its file and counters).
void ClosePortAccess();

const char* BackendName(BackendKind kind);
const char* OutcomeName(AccessOutcome outcome);

}  // namespace portio
