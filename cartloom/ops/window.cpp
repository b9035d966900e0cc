#include "cartloom/ops/window.h"

#include "cartloom/link/flash.h"
#include "cartloom/ops/operation_state.h"

namespace {

OperationWindow* window = nullptr;

}  // namespace

void SetOperationWindow(OperationWindow* w) {
    window = w;
    SetProgramPump(w != nullptr ? PumpMessagesWhenDue : std::function<void()>{});
}

void LogLine(std::string_view line) {
    if (window != nullptr) window->LogLine(line);
}

void SetProgress(std::uint16_t position) {
    if (window != nullptr) window->SetProgress(position);
}

void SetProgressMaximum(std::uint16_t maximum) {
    if (window != nullptr) window->SetProgressMaximum(maximum);
}

void SetCaption(StatusCaption caption, std::string_view text) {
    if (window != nullptr) window->SetCaption(caption, text);
}

void ShowOperationRunning(bool running) {
    if (window != nullptr) window->ShowOperationRunning(running);
}

void ProcessWindowMessages() {
    if (window != nullptr) window->PumpMessages();
}

bool ChooseFile(FileDialog dialog, std::string* name) {
    return window != nullptr && window->ChooseFile(dialog, name);
}
