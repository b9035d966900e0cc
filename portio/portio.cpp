#include "portio/portio.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "linksim/device.h"
#include "portio/backends.h"

namespace portio {
namespace {

// Namespace-scope so that it outlives every exit-time handler a program registers in main:
// those run before this is destroyed and may still release the linker.
std::unique_ptr<PortBackend> g_backend;
BackendKind g_kind = BackendKind::Absent;
bool g_opened = false;
AccessResult g_result;

class AbsentPort final : public PortBackend {
  public:
    std::uint8_t Read(std::uint16_t) override { return 0xFF; }
    void Write(std::uint16_t, std::uint8_t) override {}
};

class SimulatedPort final : public PortBackend {
  public:
    explicit SimulatedPort(std::unique_ptr<linksim::Device> device) : device_(std::move(device)) {}
    std::uint8_t Read(std::uint16_t port) override { return device_->Read(port); }
    void Write(std::uint16_t port, std::uint8_t value) override { device_->Write(port, value); }

  private:
    std::unique_ptr<linksim::Device> device_;
};

AccessResult Choose(std::span<const std::uint16_t> bases) {
    AccessResult result;
    const char* sim = std::getenv("LINKSIM");
    if (sim != nullptr && *sim != '\0') {
        const char* opts = std::getenv("LINKSIM_OPTS");
        std::string error;
        auto device = linksim::OpenDevice(sim, opts != nullptr ? opts : "", &error);
        if (!device) {
            result.kind = BackendKind::Absent;
            result.usable = false;
            result.message = error;
            g_backend = MakeAbsentPort();
            return result;
        }
        g_backend = std::make_unique<SimulatedPort>(std::move(device));
        result.kind = BackendKind::Simulated;
        return result;
    }
    std::string why;
    if (auto device = TryDeviceAccess(bases, &why)) {
        g_backend = std::move(device);
        result.kind = BackendKind::Ppdev;
        return result;
    }
    if (auto direct = TryDirectAccess(bases, &why)) {
        g_backend = std::move(direct);
        result.kind = BackendKind::Direct;
        return result;
    }
    g_backend = MakeAbsentPort();
    result.kind = BackendKind::Absent;
    result.message = why;
    return result;
}

}  // namespace

std::unique_ptr<PortBackend> MakeAbsentPort() {
    return std::make_unique<AbsentPort>();
}

AccessResult OpenPortAccess(std::span<const std::uint16_t> bases) {
    if (!g_opened) {
        g_opened = true;
        g_result = Choose(bases);
        g_kind = g_result.kind;
    }
    return g_result;
}

BackendKind CurrentBackend() {
    return g_kind;
}

std::unique_ptr<PortBackend> InstallBackend(std::unique_ptr<PortBackend> backend) {
    g_opened = true;
    g_kind = backend ? BackendKind::Custom : BackendKind::Absent;
    std::swap(g_backend, backend);
    return backend;
}

void ClosePortAccess() {
    g_backend.reset();
    g_kind = BackendKind::Absent;
}

const char* BackendName(BackendKind kind) {
    switch (kind) {
        case BackendKind::Absent:
            return "absent";
        case BackendKind::Simulated:
            return "simulated";
        case BackendKind::Direct:
            return "direct";
        case BackendKind::Ppdev:
            return "ppdev";
        case BackendKind::Custom:
            return "custom";
    }
    return "?";
}

}  // namespace portio

std::uint8_t PortRead(std::uint16_t port) {
    return portio::g_backend ? portio::g_backend->Read(port) : std::uint8_t{0xFF};
}

void PortWrite(std::uint16_t port, std::uint8_t value) {
    if (portio::g_backend) portio::g_backend->Write(port, value);
}
