// Which backend stands behind PortRead/PortWrite, decided once per run.
#include <string>
#include <utility>

#include "portio/backends.h"

namespace portio {
namespace {

Choice Refuse(Choice choice, std::string message) {
    choice.backend = MakeAbsentPort();
    choice.result.kind = BackendKind::Absent;
    choice.result.usable = false;
    choice.result.message = std::move(message);
    return choice;
}

// Gives privileges up once a real port was reached (or not). Port access already gained
// survives: the device stays open, and I/O permissions are kept across the change of ids.
Choice DropAfterAccess(Choice choice, const ChoiceInputs& inputs) {
    std::string why;
    if (!inputs.drop_privileges(&why)) {
        choice.privileges_dropped = false;
        return Refuse(std::move(choice), "cannot give up elevated privileges: " + why);
    }
    return choice;
}

Choice Take(std::unique_ptr<PortBackend> backend, BackendKind kind) {
    Choice choice;
    choice.backend = std::move(backend);
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
        return Refuse(std::move(choice), "cannot give up elevated privileges: " + why);
    }
    std::string error;
    auto sim = MakeSimulatedPort(inputs.linksim, inputs.linksim_opts, &error);
    if (!sim) return Refuse(Choice{}, error);
    return Take(std::move(sim), BackendKind::Simulated);
}

Choice Forced(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs) {
    std::string why;
    if (inputs.forced == "absent") return Take(MakeAbsentPort(), BackendKind::Absent);
    if (inputs.forced == "ppdev") {
        if (auto device = inputs.device(bases, &why)) {
            return Take(std::move(device), BackendKind::Ppdev);
        }
        return Refuse(Choice{}, "PORTIO=ppdev: " + why);
    }
    if (inputs.forced == "direct") {
        if (auto direct = inputs.direct(bases, &why)) {
            return Take(std::move(direct), BackendKind::Direct);
        }
        return Refuse(Choice{}, "PORTIO=direct: " + why);
    }
    return Refuse(Choice{}, "PORTIO='" + inputs.forced +
                                "' is not a port access; use ppdev, direct or absent");
}

Choice Automatic(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs) {
    std::string device_why;
    if (auto device = inputs.device(bases, &device_why)) {
        return Take(std::move(device), BackendKind::Ppdev);
    }
    std::string direct_why;
    if (auto direct = inputs.direct(bases, &direct_why)) {
        return Take(std::move(direct), BackendKind::Direct);
    }
    Choice choice = Take(MakeAbsentPort(), BackendKind::Absent);
    choice.result.message = device_why.empty() ? direct_why : device_why + "; " + direct_why;
    return choice;
}

}  // namespace

Choice ChooseBackend(std::span<const std::uint16_t> bases, const ChoiceInputs& inputs) {
    if (!inputs.linksim.empty()) return Simulated(inputs);
    Choice choice = inputs.forced.empty() ? Automatic(bases, inputs) : Forced(bases, inputs);
    return DropAfterAccess(std::move(choice), inputs);
}

}  // namespace portio
