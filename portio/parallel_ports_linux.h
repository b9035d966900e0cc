// The parallel ports a Linux system lists: those the kernel's port driver runs
// (/proc/sys/dev/parport/parportN/base-addr) and the I/O ranges of PCI devices of the
// parallel-port class, which a card has even without the driver. The folders are passed in so
// that tests can stand in for them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace portio {

inline const std::string kParportProc = "/proc/sys/dev/parport";
inline const std::string kPciDevices = "/sys/bus/pci/devices";

struct KernelPort {
    long number;  // N of parportN
    std::uint16_t base;
};

// The kernel's ports, by number.
std::vector<KernelPort> KernelPorts(const std::string& proc_root);

// The start of every I/O range of every PCI device of the parallel-port class (0x0701).
std::vector<std::uint16_t> PciParallelBases(const std::string& pci_root);

}  // namespace portio
