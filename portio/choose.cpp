// Which backend stands behind PortRead/PortWrite, decided once per run.
#include <string>
#include <utility>

#include "portio/backends.h"

namespace portio {
namespace {

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
    choice.result.reason = direct_refusal.why.empty() ? device_refusal.why
                           : device_refusal.why.empty()
                               ? direct_refusal.why
                               : device_refusal.why + "; " + direct_refusal.why;
    return choice;
}

}  // namespace

Choice ChooseBackend(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs) {
    if (!inputs.linksim.empty()) return Simulated(inputs);
    Choice choice = inputs.forced.empty() ? Automatic(bases, inputs) : Forced(bases, inputs);
    return DropAfterAccess(std::move(choice), inputs);
}

}  // namespace portio
