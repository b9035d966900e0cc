// Direct x86 port I/O on Linux: ioperm() opens the five ports of each base. Kernels before 2.6.8
// took ioperm() only up to 0x3FF; there, and only for a base above it, iopl() opens the whole
// range instead. Both need root or CAP_SYS_RAWIO.
#include <sys/io.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "portio/backends.h"

namespace portio {
namespace {

constexpr unsigned kPortsPerBase = 5;
constexpr unsigned kOldIopermLimit = 0x400;

std::string NoPermission(const char* call, int error) {
    return std::string("direct port I/O refused (") + call + ": " + std::strerror(error) +
           "): run as root, or grant the program CAP_SYS_RAWIO with sudo setcap cap_sys_rawio+ep "
           "PROGRAM";
}

class DirectPort final : public PortBackend {
  public:
    std::uint8_t Read(std::uint16_t port) override { return inb(port); }
    void Write(std::uint16_t port, std::uint8_t value) override { outb(value, port); }
    // Each IN is already one bus access; a run is that many.
    void ReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) out[i] = inb(port);
    }
};

}  // namespace

std::unique_ptr<PortBackend> TryDirectAccess(std::span<const std::uint16_t> bases,
                                             Refusal* refusal) {
    std::vector<std::uint16_t> opened;
    auto fail = [&](const char* call, int error) -> std::unique_ptr<PortBackend> {
        for (std::uint16_t base : opened) ioperm(base, kPortsPerBase, 0);
        refusal->why = NoPermission(call, error);
        return nullptr;
    };
    bool need_iopl = false;
    for (std::uint16_t base : bases) {
        if (ioperm(base, kPortsPerBase, 1) == 0) {
            opened.push_back(base);
        } else if (errno == EINVAL && base + kPortsPerBase > kOldIopermLimit) {
            need_iopl = true;
        } else {
            return fail("ioperm", errno);
        }
    }
    if (need_iopl && iopl(3) != 0) return fail("iopl", errno);
    return std::make_unique<DirectPort>();
}

}  // namespace portio
