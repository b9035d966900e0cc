// Which backend stands behind PortRead/PortWrite, decided once per run.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "portio/backends.h"

namespace portio {
namespace {

constexpr std::uint16_t kLegacyBases[] = {0x378, 0x278, 0x3BC};

std::string Hex(std::uint16_t base) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", base);
    return text;
}

bool IsLegacy(std::uint16_t base) {
    return std::find(std::begin(kLegacyBases), std::end(kLegacyBases), base) !=
           std::end(kLegacyBases);
}

// Empty when every base in `bases` is a parallel port's; else why the first that is not is
// refused. A process with more rights than its user must not become a way for that user to
// reach other devices' ports (a keyboard controller write can reset the machine).
std::string NotParallelPorts(std::span<const std::uint16_t> bases,
                             const std::vector<std::uint16_t>& hardware) {
    auto known = [&hardware](std::uint16_t base) {
        return IsLegacy(base) ||
               std::find(hardware.begin(), hardware.end(), base) != hardware.end();
    };
    for (std::uint16_t base : bases) {
        if (known(base)) continue;
        std::vector<std::uint16_t> named(std::begin(kLegacyBases), std::end(kLegacyBases));
        for (std::uint16_t h : hardware) {
            if (std::find(named.begin(), named.end(), h) == named.end()) named.push_back(h);
        }
        std::string list;
        for (std::uint16_t n : named) list += (list.empty() ? "" : ", ") + Hex(n);
        return Hex(base) +
               " is not the base of a parallel port. Started with more rights than its user "
               "(setuid, setgid or file capabilities), the program opens only parallel ports: " +
               list + "; run it as root to use another port";
    }
    return "";
}

std::string Join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "; " + b;
}

// A real port together with the locks that keep other programs off its bases; the port is
// released before the locks are.
class HeldPort final : public PortBackend {
  public:
    HeldPort(std::unique_ptr<PortBackend> port, std::unique_ptr<BaseLocks> locks)
        : locks_(std::move(locks)), port_(std::move(port)) {}
    std::uint8_t Read(std::uint16_t port) override { return port_->Read(port); }
    void Write(std::uint16_t port, std::uint8_t value) override { port_->Write(port, value); }
    void ReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) override {
        port_->ReadRun(port, out, n);
    }

  private:
    std::unique_ptr<BaseLocks> locks_;
    std::unique_ptr<PortBackend> port_;
};

// What the user asked for (`asked`) cannot be had: the absent port stands in, and the program
// must stop with the reason.
Choice Unusable(Choice choice, BackendKind asked, std::string reason) {
    choice.backend = MakeAbsentPort();
    choice.result.outcome = AccessOutcome::Unusable;
    choice.result.kind = asked;
    choice.result.reason = std::move(reason);
    return choice;
}

// Gives privileges up once a real port was reached (or not). Port access already gained
// survives: the device stays open, and I/O permissions are kept across the change of ids.
Choice DropAfterAccess(Choice choice, const ChoiceInputs& inputs) {
    std::string why;
    if (!inputs.drop_privileges(&why)) {
        choice.privileges_dropped = false;
        return Unusable(std::move(choice), BackendKind::Absent,
                        "cannot give up elevated privileges: " + why);
    }
    return choice;
}

Choice Take(std::unique_ptr<PortBackend> backend, BackendKind kind) {
    Choice choice;
    choice.backend = std::move(backend);
    choice.result.outcome =
        kind == BackendKind::Absent ? AccessOutcome::Absent : AccessOutcome::Ready;
    choice.result.kind = kind;
    return choice;
}

Choice Simulated(const ChoiceInputs& inputs) {
    // The simulator needs no privileges, and its file and counters are the user's: open them
    // only as the user, so that a setuid start cannot be used to write where the user may not.
    std::string why;
    if (!inputs.drop_privileges(&why)) {
        Choice choice;
        choice.privileges_dropped = false;
        return Unusable(std::move(choice), BackendKind::Simulated,
                        "cannot give up elevated privileges: " + why);
    }
    std::string error;
    auto sim = MakeSimulatedPort(inputs.linksim, inputs.linksim_opts, &error);
    if (!sim) return Unusable(Choice{}, BackendKind::Simulated, error);
    return Take(std::move(sim), BackendKind::Simulated);
}

Choice Forced(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs) {
    Refusal refusal;
    if (inputs.forced == "absent") return Take(MakeAbsentPort(), BackendKind::Absent);
    if (inputs.forced == "ppdev") {
        if (auto device = inputs.device(bases, &refusal)) {
            return Take(std::move(device), BackendKind::Ppdev);
        }
        return Unusable(Choice{}, BackendKind::Ppdev, "PORTIO=ppdev: " + refusal.why);
    }
    if (inputs.forced == "direct") {
        if (auto direct = inputs.direct(bases, &refusal)) {
            return Take(std::move(direct), BackendKind::Direct);
        }
        return Unusable(Choice{}, BackendKind::Direct, "PORTIO=direct: " + refusal.why);
    }
    return Unusable(
        Choice{}, BackendKind::Absent,
        "PORTIO='" + inputs.forced + "' is not a port access; use ppdev, direct or absent");
}

// Direct I/O first, where the process may do it: one bus access per port access, where the
// kernel's device adds system calls and register accesses of its own.
Choice Automatic(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs) {
    Refusal direct_refusal;
    if (auto direct = inputs.direct(bases, &direct_refusal)) {
        return Take(std::move(direct), BackendKind::Direct);
    }
    Refusal device_refusal;
    if (auto device = inputs.device(bases, &device_refusal)) {
        return Take(std::move(device), BackendKind::Ppdev);
    }
    if (device_refusal.in_use) return Unusable(Choice{}, BackendKind::Ppdev, device_refusal.why);
    Choice choice = Take(MakeAbsentPort(), BackendKind::Absent);
    choice.result.outcome = AccessOutcome::Refused;
    // The device's reason first: for an ordinary user it is the one to act on.
    choice.result.reason = Join(device_refusal.why, direct_refusal.why);
    return choice;
}

}  // namespace

Choice ChooseBackend(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs) {
    if (!inputs.linksim.empty()) return Simulated(inputs);
    const bool real_port =
        inputs.forced.empty() || inputs.forced == "direct" || inputs.forced == "ppdev";
    if (!real_port) return DropAfterAccess(Forced(bases, inputs), inputs);
    const BackendKind asked = inputs.forced == "ppdev" ? BackendKind::Ppdev : BackendKind::Direct;
    if (inputs.elevated()) {
        // Checked before any port right is asked for.
        std::string refused = NotParallelPorts(bases, inputs.parallel_hardware());
        if (!refused.empty()) return DropAfterAccess(Unusable(Choice{}, asked, refused), inputs);
    }
    // Before the port is touched, or even claimed.
    Refusal lock_refusal;
    std::unique_ptr<BaseLocks> locks = inputs.lock_bases(bases, &lock_refusal);
    if (!locks && lock_refusal.in_use) {
        return DropAfterAccess(Unusable(Choice{}, asked, lock_refusal.why), inputs);
    }
    Choice choice = inputs.forced.empty() ? Automatic(bases, inputs) : Forced(bases, inputs);
    if (choice.result.outcome == AccessOutcome::Ready && locks) {
        choice.backend = std::make_unique<HeldPort>(std::move(choice.backend), std::move(locks));
    }
    return DropAfterAccess(std::move(choice), inputs);
}

}  // namespace portio
