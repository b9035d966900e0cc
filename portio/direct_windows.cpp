// Direct x86 port I/O on Windows. The right to execute IN and OUT is granted from outside
// (the console tool opens the port-access driver first); without it the first access faults,
// so there is nothing to check here.
#include <intrin.h>

#include "portio/backends.h"

namespace portio {
namespace {

class DirectPort final : public PortBackend {
  public:
    std::uint8_t Read(std::uint16_t port) override { return __inbyte(port); }
    void Write(std::uint16_t port, std::uint8_t value) override { __outbyte(port, value); }
    // Each IN is already one bus access; a run is that many.
    void ReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) out[i] = __inbyte(port);
    }
};

}  // namespace

std::unique_ptr<PortBackend> TryDirectAccess(std::span<const std::uint16_t>, Refusal*) {
    return std::make_unique<DirectPort>();
}

}  // namespace portio
