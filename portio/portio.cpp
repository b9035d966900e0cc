#include "portio/portio.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "linksim/device.h"
#include "portio/backends.h"
#include "portio/device_port.h"

namespace portio {
namespace {

// Namespace-scope so that it outlives every exit-time handler a program registers in main:
// those run before this is destroyed and may still release the linker.
std::unique_ptr<PortBackend> g_backend;
BackendKind g_kind = BackendKind::Absent;
bool g_opened = false;
AccessResult g_result;
std::uint16_t g_simulated_base = 0;  // the simulated linker's base while it stands in

class AbsentPort final : public PortBackend {
  public:
    std::uint8_t Read(std::uint16_t) override { return 0xFF; }
    void Write(std::uint16_t, std::uint8_t) override {}
    void ReadRun(std::uint16_t, std::uint8_t* out, std::size_t n) override {
        std::fill(out, out + n, std::uint8_t{0xFF});
    }
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The simulated device behind the port; it owns the device when `owned` holds it, and keeps
// its cartridge in `file` when that is not empty.
class SimulatedPort final : public PortBackend {
  public:
    SimulatedPort(linksim::Device* device, std::unique_ptr<linksim::Device> owned,
                  std::string file = {})
        : device_(device), owned_(std::move(owned)), file_(std::move(file)) {}
    std::uint16_t Base() const { return device_->Base(); }
    std::uint8_t Read(std::uint16_t port) override { return device_->Read(port); }
    void Write(std::uint16_t port, std::uint8_t value) override { device_->Write(port, value); }
    // One device read per byte, so that its counters see every access of the run.
    void ReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) out[i] = device_->Read(port);
    }
    bool KeepsContentsIn(const std::string& path) const override {
        return !file_.empty() && SameFile(file_, path);
    }

  private:
    linksim::Device* device_;
    std::unique_ptr<linksim::Device> owned_;
    std::string file_;
};

}  // namespace

std::unique_ptr<PortBackend> MakeAbsentPort() {
    return std::make_unique<AbsentPort>();
}

std::unique_ptr<PortBackend> MakeSimulatedPort(const std::string& file, const std::string& options,
                                               std::string* error) {
    auto device = linksim::OpenDevice(file, options, error);
    if (!device) return nullptr;
    linksim::Device* raw = device.get();
    return std::make_unique<SimulatedPort>(raw, std::move(device), file);
}

std::unique_ptr<PortBackend> MakeDevicePort(linksim::Device* device) {
    return std::make_unique<SimulatedPort>(device, nullptr);
}

AccessResult OpenPortAccess(std::span<const std::uint16_t> bases) {
    if (!g_opened) {
        g_opened = true;
        ChoiceInputs inputs;
        inputs.linksim = Environment("LINKSIM");
        inputs.linksim_opts = Environment("LINKSIM_OPTS");
        inputs.forced = Environment("PORTIO");
        Choice choice = ChooseBackend(bases, inputs);
        if (!choice.privileges_dropped) {
            // Going on would hand the user's files and arguments to a privileged process.
            std::fprintf(stderr, "%s\n", choice.result.reason.c_str());
            std::fflush(stdout);
            std::_Exit(1);
        }
        g_backend = std::move(choice.backend);
        g_result = choice.result;
        if (g_result.outcome == AccessOutcome::Ready && g_result.kind == BackendKind::Simulated) {
            g_simulated_base = static_cast<SimulatedPort&>(*g_backend).Base();
        }
        g_kind = g_result.outcome == AccessOutcome::Ready ? g_result.kind : BackendKind::Absent;
    }
    return g_result;
}

BackendKind CurrentBackend() {
    return g_kind;
}

std::vector<std::uint16_t> ListParallelPorts() {
    if (g_kind == BackendKind::Simulated) return {g_simulated_base};
    return ListedParallelPorts();
}

bool IsSimulatorCartridge(const std::string& path) {
    return g_backend && g_backend->KeepsContentsIn(path);
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

const char* OutcomeName(AccessOutcome outcome) {
    switch (outcome) {
        case AccessOutcome::Ready:
            return "ready";
        case AccessOutcome::Absent:
            return "absent";
        case AccessOutcome::Refused:
            return "refused";
        case AccessOutcome::Unusable:
            return "unusable";
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

void PortReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) {
    if (portio::g_backend) {
        portio::g_backend->ReadRun(port, out, n);
    } else {
        std::fill(out, out + n, std::uint8_t{0xFF});
    }
}
