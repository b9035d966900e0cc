// Port access through the kernel's parallel-port device. Every PortRead/PortWrite becomes at most
// one ioctl, read() or write() on the claimed device, in the order the caller made them, and a
// run of reads of an EPP register becomes one read() per 256 bytes. The only extra call is
// PPSETMODE, and only when an EPP cycle needs the other of the two EPP modes (address or data)
// than the last one. A control write of the value the register already holds changes no line and
// is left out.
#include "portio/ppdev_linux.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "portio/backends.h"
#include "portio/parallel_ports_linux.h"

namespace portio {
namespace ppdev {
namespace {

constexpr unsigned kPortsPerBase = 5;

// How each register of a base is reached through the device, by offset from the base.
//
// The kernel's PC-style port driver (parport_pc) takes and gives the control and status
// registers as the chip holds them: PPWCONTROL writes the byte to the control register and
// PPRSTATUS returns the status register, both with the chip's own line inversions (nStrobe,
// nAutoFd, nSelectIn, Busy) in place. Our callers use the same register values, so nothing is
// flipped here; the `invert` column says so once. PPWCONTROL takes only the four line bits: the
// direction and interrupt bits need their own ioctls, and the link never sets them.
//
// The status register cannot be written through the device. The link writes 0x01 there only
// to clear a pending EPP time-out, which the kernel clears itself after every EPP cycle that
// timed out, so that write is dropped.
struct RegisterWay {
    unsigned long read_ioctl;   // 0: read() in `mode`
    unsigned long write_ioctl;  // 0: write() in `mode`, or dropped when `mode` is 0
    int mode;                   // the EPP mode of read()/write(); 0 for the ioctl registers
    std::uint8_t write_mask;
    std::uint8_t invert;
};

constexpr RegisterWay kRegisters[kPortsPerBase] = {
    {PPRDATA, PPWDATA, 0, 0xFF, 0x00},                      // base + 0: data
    {PPRSTATUS, 0, 0, 0x00, 0x00},                          // base + 1: status
    {PPRCONTROL, PPWCONTROL, 0, 0x0F, 0x00},                // base + 2: control
    {0, 0, IEEE1284_MODE_EPP | IEEE1284_ADDR, 0xFF, 0x00},  // base + 3: EPP address
    {0, 0, IEEE1284_MODE_EPP, 0xFF, 0x00},                  // base + 4: EPP data
};

constexpr int kModeUnknown = -1;
constexpr int kControlUnknown = -1;
constexpr unsigned kControlOffset = 2;
// What a read gives when the device refused it or the EPP handshake timed out: the value of
// an undriven bus.
constexpr std::uint8_t kFloating = 0xFF;
// The most bytes one read() of a run asks for: a page of the links' auto-increment reads.
constexpr std::size_t kRunChunk = 256;

struct ClaimedPort {
    std::uint16_t base;
    int fd;
    int mode;  // the EPP mode last set, or kModeUnknown
    // The line bits last written to the control register, or kControlUnknown.
    int control;
    // The kernel drives this port's EPP mode through the ECP control register and then sets the
    // control lines itself around every EPP cycle, so a read() or write() leaves them unknown.
    bool kernel_sets_control;
};

class DevicePort final : public PortBackend {
  public:
    DevicePort(const Syscalls& sys, std::vector<ClaimedPort> ports)
        : sys_(sys), ports_(std::move(ports)) {}

    ~DevicePort() override {
        for (const ClaimedPort& p : ports_) {
            sys_.ioctl(p.fd, PPRELEASE, nullptr);
            sys_.close(p.fd);
        }
    }

    DevicePort(const DevicePort&) = delete;
    DevicePort& operator=(const DevicePort&) = delete;

    std::uint8_t Read(std::uint16_t port) override {
        ClaimedPort* p = Find(port);
        if (p == nullptr) return kFloating;
        const RegisterWay& way = kRegisters[port - p->base];
        unsigned char byte = kFloating;
        if (way.mode != 0) {
            if (!SetMode(*p, way.mode) || EppTransfer(*p, false, &byte, 1) != 1) return kFloating;
        } else if (sys_.ioctl(p->fd, way.read_ioctl, &byte) != 0) {
            return kFloating;
        }
        return static_cast<std::uint8_t>(byte ^ way.invert);
    }

    void Write(std::uint16_t port, std::uint8_t value) override {
        ClaimedPort* p = Find(port);
        if (p == nullptr) return;
        const unsigned offset = port - p->base;
        const RegisterWay& way = kRegisters[offset];
        auto byte = static_cast<unsigned char>((value ^ way.invert) & way.write_mask);
        if (way.mode != 0) {
            if (SetMode(*p, way.mode)) EppTransfer(*p, true, &byte, 1);
        } else if (way.write_ioctl != 0) {
            if (offset == kControlOffset) {
                if (p->control == byte) return;
                p->control =
                    sys_.ioctl(p->fd, way.write_ioctl, &byte) == 0 ? byte : kControlUnknown;
                return;
            }
            sys_.ioctl(p->fd, way.write_ioctl, &byte);
        }
    }

    // A run of an EPP register goes to the kernel in reads of up to 256 bytes; the kernel's fast
    // flag moves each without a status check of its own. What a timed-out or refused read did
    // not deliver reads as an undriven bus.
    void ReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) override {
        ClaimedPort* p = Find(port);
        if (p == nullptr) {
            std::fill(out, out + n, kFloating);
            return;
        }
        const RegisterWay& way = kRegisters[port - p->base];
        if (way.mode == 0) {
            for (std::size_t i = 0; i < n; ++i) out[i] = Read(port);
            return;
        }
        std::size_t done = 0;
        while (done < n && SetMode(*p, way.mode)) {
            const std::size_t want = std::min(kRunChunk, n - done);
            const ssize_t got = EppTransfer(*p, false, out + done, want);
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
            if (static_cast<std::size_t>(got) < want) break;
        }
        std::fill(out + done, out + n, kFloating);
        for (std::size_t i = 0; i < done; ++i)
            out[i] = static_cast<std::uint8_t>(out[i] ^ way.invert);
    }

  private:
    ClaimedPort* Find(std::uint16_t port) {
        for (ClaimedPort& p : ports_) {
            if (port >= p.base && static_cast<unsigned>(port - p.base) < kPortsPerBase) return &p;
        }
        return nullptr;
    }

    ssize_t EppTransfer(ClaimedPort& p, bool write, unsigned char* bytes, std::size_t n) {
        const ssize_t result = write ? sys_.write(p.fd, bytes, n) : sys_.read(p.fd, bytes, n);
        if (p.kernel_sets_control) p.control = kControlUnknown;
        return result;
    }

    // A failed switch leaves the mode unknown, so the next cycle tries again rather than run in
    // the wrong mode.
    bool SetMode(ClaimedPort& p, int mode) {
        if (p.mode == mode) return true;
        p.mode = kModeUnknown;
        if (sys_.ioctl(p.fd, PPSETMODE, &mode) != 0) return false;
        p.mode = mode;
        return true;
    }

    const Syscalls& sys_;
    std::vector<ClaimedPort> ports_;
};

std::string Hex(std::uint16_t base) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", base);
    return text;
}

std::string OpenFailure(const std::string& path, int error) {
    std::string text = "cannot open " + path + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM) {
        text +=
            " (the user must be in the group that owns it, usually lp: sudo adduser $USER lp, "
            "then log in again)";
    } else if (error == ENOENT || error == ENXIO || error == ENODEV) {
        text += " (load the ppdev module: sudo modprobe ppdev)";
    }
    return text;
}

// The kernel registers a device exclusively only while no other is registered on the port, and
// refuses the claim otherwise: another program has the port, or a driver such as lp.
std::string ClaimFailure(const std::string& path, std::uint16_t base, int error, bool* in_use) {
    if (error == ENXIO || error == EBUSY) {
        *in_use = true;
        return path + " (the port at " + Hex(base) +
               ") is in use by another program or driver (the printer driver lp holds it while "
               "it is loaded: sudo modprobe -r lp)";
    }
    return "cannot claim " + path + ": " + std::strerror(error);
}

// Whether the kernel may drive the EPP mode of port `n` through the ECP control register, as its
// modes name ECP.
bool KernelSetsControl(const Roots& roots, long n) {
    std::ifstream file(roots.proc + "/parport" + std::to_string(n) + "/modes");
    std::string modes;
    std::getline(file, modes);
    return !file || modes.find("ECP") != std::string::npos;
}

// The number of the kernel's port with I/O base `base` (the lowest if several have it), or -1.
long FindPortNumber(std::uint16_t base, const Roots& roots) {
    for (const KernelPort& p : KernelPorts(roots.proc)) {
        if (p.base == base) return p.number;
    }
    return -1;
}

std::string NoDevice(std::uint16_t base, const Roots& roots) {
    std::error_code ec;
    if (!std::filesystem::is_directory(roots.proc, ec)) {
        return "the kernel knows no parallel port (load its driver: sudo modprobe parport_pc)";
    }
    return "the kernel knows no parallel port at " + Hex(base);
}

}  // namespace

const Syscalls& KernelSyscalls() {
    static const Syscalls sys{
        [](const char* path, int flags) { return ::open(path, flags); },
        [](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); },
        [](int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); },
        [](int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); },
        [](int fd) { return ::close(fd); },
    };
    return sys;
}

std::string FindDevice(std::uint16_t base, const Roots& roots) {
    const long n = FindPortNumber(base, roots);
    return n < 0 ? "" : roots.dev + "/parport" + std::to_string(n);
}

std::unique_ptr<PortBackend> Open(std::span<const std::uint16_t> bases, const Syscalls& sys,
                                  const Roots& roots, Refusal* refusal) {
    std::vector<ClaimedPort> ports;
    std::string reasons;
    auto note = [&reasons](const std::string& text) {
        reasons += (reasons.empty() ? "" : "; ") + text;
    };
    auto release_all = [&] {
        for (const ClaimedPort& p : ports) {
            sys.ioctl(p.fd, PPRELEASE, nullptr);
            sys.close(p.fd);
        }
        ports.clear();
    };
    for (std::uint16_t base : bases) {
        bool seen = std::any_of(ports.begin(), ports.end(),
                                [base](const ClaimedPort& p) { return p.base == base; });
        if (seen) continue;
        const long n = FindPortNumber(base, roots);
        if (n < 0) {
            note(NoDevice(base, roots));
            continue;
        }
        const std::string path = roots.dev + "/parport" + std::to_string(n);
        // Non-blocking: a blocking read of an EPP cycle that times out is retried by the
        // kernel until a signal arrives, which would hang the program on a missing linker.
        int fd = sys.open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            note(OpenFailure(path, errno));
            continue;
        }
        // Exclusive, so that no other program or driver can use the port while this one holds
        // it; the claim then cannot wait for another holder either.
        bool in_use = false;
        if (sys.ioctl(fd, PPEXCL, nullptr) != 0 || sys.ioctl(fd, PPCLAIM, nullptr) != 0) {
            const std::string why = ClaimFailure(path, base, errno, &in_use);
            sys.close(fd);
            if (in_use) {
                // A port in use stops the program: nothing else it asked for is touched.
                release_all();
                refusal->why = why;
                refusal->in_use = true;
                return nullptr;
            }
            note(why);
            continue;
        }
        // Runs of reads and writes move without a status check after every byte. Without the
        // flags (an older kernel) they are only slower.
        int fast = PP_FASTREAD | PP_FASTWRITE;
        sys.ioctl(fd, PPSETFLAGS, &fast);
        ports.push_back({base, fd, kModeUnknown, kControlUnknown, KernelSetsControl(roots, n)});
    }
    if (ports.empty()) {
        refusal->why = reasons;
        return nullptr;
    }
    return std::make_unique<DevicePort>(sys, std::move(ports));
}

}  // namespace ppdev

std::unique_ptr<PortBackend> TryDeviceAccess(std::span<const std::uint16_t> bases,
                                             Refusal* refusal) {
    return ppdev::Open(bases, ppdev::KernelSyscalls(), ppdev::Roots{}, refusal);
}

}  // namespace portio
