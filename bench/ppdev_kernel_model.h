// A model of the kernel behind /dev/parportN for measurements: the ppdev driver and the PC-style
// port driver's EPP routines, with a simulated linker as the hardware. It counts the system calls
// a backend makes and the accesses to the port's registers ("bus accesses") the kernel makes for
// them, as the kernel's own code does them:
//   - every read() and write() ends by enabling the port's interrupt: one control write;
//   - an EPP read() or write() moves each byte with one data access and checks the status for a
//     time-out after each byte, or once at the end when the fast flag applies (more than one byte);
//   - on chipsets whose EPP mode is reached through the ECP control register (ECP+EPP), each call
//     also switches that register to EPP and back (a read and a write each time) and writes the
//     control register twice (direction, then the idle lines);
//   - PPWCONTROL, PPWDATA, PPRDATA and PPRSTATUS are one access each; PPRCONTROL answers from
//     the driver's copy; PPSETMODE, PPSETFLAGS, PPEXCL, PPCLAIM and PPRELEASE touch no register.
#pragma once

#include <cstdint>
#include <string>

#include "portio/ppdev_linux.h"

namespace linksim {
class Device;
}

namespace kernelmodel {

enum class Chipset { Epp, EcpEpp };

struct Counters {
    std::uint64_t syscalls = 0;
    std::uint64_t bus = 0;
};

// Puts `device` behind the one modelled port at `base`; the counters start at zero.
void Attach(linksim::Device* device, std::uint16_t base, Chipset chipset);
Counters& Count();
const portio::ppdev::Syscalls& Syscalls();

// A folder with the /proc and /dev entries of the one port, removed again on destruction.
class Tree {
  public:
    Tree(std::uint16_t base, Chipset chipset);
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    portio::ppdev::Roots roots() const;

  private:
    std::string dir_;
};

}  // namespace kernelmodel
