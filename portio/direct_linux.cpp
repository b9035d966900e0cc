// Direct x86 port I/O on Linux: ioperm() opens single ports up to 0x3FF, iopl() the whole range
// above. Both need root or CAP_SYS_RAWIO.
#include <sys/io.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "portio/backends.h"

namespace portio {
namespace {

constexpr unsigned kPortsPerBase = 5;
constexpr unsigned kIopermLimit = 0x400;

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
                                             std::string* why) {
    bool need_iopl = false;
    for (std::uint16_t base : bases) {
        if (base + kPortsPerBase > kIopermLimit) {
            need_iopl = true;
        } else if (ioperm(base, kPortsPerBase, 1) != 0) {
            *why = std::string("no permission for direct port I/O (ioperm: ") +
                   std::strerror(errno) + "); run as root or grant CAP_SYS_RAWIO";
            return nullptr;
        }
    }
    if (need_iopl && iopl(3) != 0) {
        *why = std::string("no permission for direct port I/O (iopl: ") + std::strerror(errno) +
               "); run as root or grant CAP_SYS_RAWIO";
        return nullptr;
    }
    return std::make_unique<DirectPort>();
}

}  // namespace portio
