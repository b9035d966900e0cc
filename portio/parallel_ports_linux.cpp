#include "portio/parallel_ports_linux.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "portio/backends.h"

namespace portio {
namespace {

namespace fs = std::filesystem;

constexpr unsigned long kParallelClass = 0x0701;  // communication controller, parallel port
constexpr unsigned long long kIoResource = 0x100;
constexpr unsigned long long kLastPort = 0xFFFF;

// The number N of a "parportN" entry, or -1 for anything else.
long PortNumber(const std::string& name) {
    constexpr std::string_view kPrefix = "parport";
    if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0) return -1;
    long n = 0;
    for (std::size_t i = kPrefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000) return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

}  // namespace

std::vector<KernelPort> KernelPorts(const std::string& proc_root) {
    std::vector<KernelPort> ports;
    std::error_code ec;
    for (fs::directory_iterator it(proc_root, ec), end; !ec && it != end; it.increment(ec)) {
        const long n = PortNumber(it->path().filename().string());
        if (n < 0) continue;
        // "888\t1912": the base, then the upper (ECP) base.
        std::ifstream file(it->path() / "base-addr");
        unsigned long base = 0;
        if (file >> base && base <= kLastPort)
            ports.push_back({n, static_cast<std::uint16_t>(base)});
    }
    std::sort(ports.begin(), ports.end(),
              [](const KernelPort& a, const KernelPort& b) { return a.number < b.number; });
    return ports;
}

std::vector<std::uint16_t> PciParallelBases(const std::string& pci_root) {
    std::vector<std::uint16_t> bases;
    std::error_code ec;
    for (fs::directory_iterator it(pci_root, ec), end; !ec && it != end; it.increment(ec)) {
        std::ifstream class_file(it->path() / "class");
        unsigned long device_class = 0;
        if (!(class_file >> std::hex >> device_class) || (device_class >> 8) != kParallelClass) {
            continue;
        }
        // One line per region: start, end and flags, in hexadecimal.
        std::ifstream resources(it->path() / "resource");
        for (std::string line; std::getline(resources, line);) {
            std::istringstream fields(line);
            unsigned long long start = 0, last = 0, flags = 0;
            if (!(fields >> std::hex >> start >> last >> flags)) continue;
            if ((flags & kIoResource) != 0 && start != 0 && start <= kLastPort) {
                bases.push_back(static_cast<std::uint16_t>(start));
            }
        }
    }
    return bases;
}

std::vector<std::uint16_t> ListedParallelPorts() {
    std::vector<std::uint16_t> bases;
    for (const KernelPort& p : KernelPorts(kParportProc)) bases.push_back(p.base);
    return bases;
}

std::vector<std::uint16_t> ParallelPortHardware() {
    std::vector<std::uint16_t> bases = ListedParallelPorts();
    for (std::uint16_t base : PciParallelBases(kPciDevices)) bases.push_back(base);
    return bases;
}

}  // namespace portio
