#include "bench/ppdev_kernel_model.h"

#include <linux/parport.h>
#include <linux/ppdev.h>
#include <stdlib.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "linksim/device.h"

namespace kernelmodel {
namespace {

constexpr int kFd = 3;
constexpr std::uint8_t kEppTimeout = 0x01;

struct Port {
    linksim::Device* device = nullptr;
    std::uint16_t base = 0;
    Chipset chipset = Chipset::Epp;
    int mode = IEEE1284_MODE_COMPAT;
    int flags = 0;
    Counters count;
};

Port g_port;

std::uint8_t In(int offset) {
    ++g_port.count.bus;
    return g_port.device->Read(static_cast<std::uint16_t>(g_port.base + offset));
}

void Out(int offset, std::uint8_t value) {
    ++g_port.count.bus;
    g_port.device->Write(static_cast<std::uint16_t>(g_port.base + offset), value);
}

// Accesses the simulated linker has no use for: the ECP control register it does not have, and
// the kernel's control writes around EPP cycles, which its EPP registers do not depend on.
void Touch(int accesses) {
    g_port.count.bus += static_cast<std::uint64_t>(accesses);
}

bool TimedOut() {
    return (In(1) & kEppTimeout) != 0;
}

// The routine of the PC-style driver for one EPP read() or write() call; `fast` applies only to
// more than one byte.
ssize_t Epp(bool write, bool address, std::uint8_t* bytes, std::size_t n, bool fast) {
    const int reg = address ? 3 : 4;
    if (g_port.chipset == Chipset::EcpEpp) Touch(2 + 2);  // ECR to EPP; direction; idle lines
    ssize_t done = 0;
    if (fast && n > 1) {
        for (std::size_t i = 0; i < n; ++i) {
            if (write) {
                Out(reg, bytes[i]);
            } else {
                bytes[i] = In(reg);
            }
        }
        done = TimedOut() ? -EIO : static_cast<ssize_t>(n);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            if (write) {
                Out(reg, bytes[i]);
            } else {
                bytes[i] = In(reg);
            }
            if (TimedOut()) break;
            ++done;
        }
    }
    if (g_port.chipset == Chipset::EcpEpp) Touch(2);  // ECR back to PS/2
    return done;
}

ssize_t Transfer(bool write, std::uint8_t* bytes, std::size_t n) {
    ++g_port.count.syscalls;
    const int base_mode = g_port.mode & ~(IEEE1284_DEVICEID | IEEE1284_ADDR);
    if (base_mode != IEEE1284_MODE_EPP) throw std::logic_error("only EPP transfers are modelled");
    const bool fast = (g_port.flags & (write ? PP_FASTWRITE : PP_FASTREAD)) != 0;
    ssize_t done = Epp(write, (g_port.mode & IEEE1284_ADDR) != 0, bytes, n, fast);
    Touch(1);  // the interrupt enable at the end of every call
    if (done <= 0) {
        errno = done < 0 ? EIO : EAGAIN;
        return -1;
    }
    return done;
}

int ModelOpen(const char*, int) {
    ++g_port.count.syscalls;
    return kFd;
}

int ModelIoctl(int, unsigned long request, void* arg) {
    ++g_port.count.syscalls;
    auto* byte = static_cast<unsigned char*>(arg);
    switch (request) {
        case PPSETMODE:
            g_port.mode = *static_cast<int*>(arg);
            return 0;
        case PPSETFLAGS:
            g_port.flags = *static_cast<int*>(arg);
            return 0;
        case PPEXCL:
        case PPCLAIM:
        case PPRELEASE:
            return 0;
        case PPWCONTROL:
            Out(2, static_cast<std::uint8_t>(*byte & 0x0F));
            return 0;
        case PPRCONTROL:
            *byte = static_cast<unsigned char>(
                g_port.device->Read(static_cast<std::uint16_t>(g_port.base + 2)) & 0x0F);
            return 0;
        case PPWDATA:
            Out(0, *byte);
            return 0;
        case PPRDATA:
            *byte = In(0);
            return 0;
        case PPRSTATUS:
            *byte = In(1);
            return 0;
        default:
            errno = EINVAL;
            return -1;
    }
}

ssize_t ModelRead(int, void* buffer, size_t count) {
    return Transfer(false, static_cast<std::uint8_t*>(buffer), count);
}

ssize_t ModelWrite(int, const void* buffer, size_t count) {
    // The kernel copies the bytes in; the model writes from its own copy the same way.
    std::string copy(static_cast<const char*>(buffer), count);
    return Transfer(true, reinterpret_cast<std::uint8_t*>(copy.data()), count);
}

int ModelClose(int) {
    ++g_port.count.syscalls;
    return 0;
}

}  // namespace

void Attach(linksim::Device* device, std::uint16_t base, Chipset chipset) {
    g_port = Port{};
    g_port.device = device;
    g_port.base = base;
    g_port.chipset = chipset;
}

Counters& Count() {
    return g_port.count;
}

const portio::ppdev::Syscalls& Syscalls() {
    static const portio::ppdev::Syscalls sys{ModelOpen, ModelIoctl, ModelRead, ModelWrite,
                                             ModelClose};
    return sys;
}

Tree::Tree(std::uint16_t base, Chipset chipset) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ppdev-model-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    dir_ = pattern;
    const std::filesystem::path port = std::filesystem::path(dir_) / "proc" / "parport0";
    std::filesystem::create_directories(port);
    std::filesystem::create_directories(std::filesystem::path(dir_) / "dev");
    std::ofstream(port / "base-addr") << base << '\t' << base + 0x400 << '\n';
    std::ofstream(port / "modes") << (chipset == Chipset::EcpEpp ? "PCSPP,TRISTATE,COMPAT,EPP,ECP"
                                                                 : "PCSPP,TRISTATE,EPP")
                                  << '\n';
}

Tree::~Tree() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

portio::ppdev::Roots Tree::roots() const {
    return {dir_ + "/proc", dir_ + "/dev"};
}

}  // namespace kernelmodel
