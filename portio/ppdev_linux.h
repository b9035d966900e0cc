// The kernel's parallel-port device (/dev/parportN, the ppdev driver) as a port backend.
//
// The system calls and the two directories it looks in are passed in, so that tests can stand
// in for the kernel: no parallel port is needed to check which ioctl each port access becomes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "portio/backends.h"
#include "portio/portio.h"

namespace portio::ppdev {

struct Syscalls {
    int (*open)(const char* path, int flags);
    int (*ioctl)(int fd, unsigned long request, void* arg);
    ssize_t (*read)(int fd, void* buffer, size_t count);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
    int (*close)(int fd);
};

// The real ones.
const Syscalls& KernelSyscalls();

struct Roots {
    std::string proc = "/proc/sys/dev/parport";  // parportN/base-addr per port
    std::string dev = "/dev";                    // parportN device nodes
};

// The device node whose port has I/O base `base`, or "" when the kernel knows no such port.
std::string FindDevice(std::uint16_t base, const Roots& roots);

// Opens and claims, exclusively, the device of every base that has one. Bases without a device
// read 0xFF. nullptr with the reason when no base could be opened, or when one is in use by
// another program or driver (then nothing stays open).
std::unique_ptr<PortBackend> Open(std::span<const std::uint16_t> bases, const Syscalls& sys,
                                  const Roots& roots, Refusal* refusal);

}  // namespace portio::ppdev
