// A signal handler may do next to nothing: it writes the signal's number into a pipe, and the
// event loop, which watches the pipe, closes the window. That also works during an operation,
// whose pumps run the event loop.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>
#include <array>

#include "cartloom/app/signals.h"

namespace {

constexpr std::array<int, 3> kClosingSignals = {SIGTERM, SIGHUP, SIGINT};

int pipe_ends[2] = {-1, -1};
volatile sig_atomic_t closing_signal = 0;

void OnClosingSignal(int sig) {
    closing_signal = sig;
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = write(pipe_ends[1], &byte, 1);
}

void CloseWindows(QWidget* window) {
    // A dialog waits for its answer in a loop of its own, a question asked from inside another
    // dialog too: each is cancelled first.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        if (dialog != nullptr && dialog->isVisible()) dialog->reject();
    }
    window->close();
}

}  // namespace

void CloseOnSignals(QWidget* window) {
    if (pipe_ends[0] >= 0 || pipe(pipe_ends) != 0) return;
    for (int end : pipe_ends) fcntl(end, F_SETFD, FD_CLOEXEC);
    fcntl(pipe_ends[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(pipe_ends[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        unsigned char byte = 0;
        [[maybe_unused]] const ssize_t n = read(pipe_ends[0], &byte, 1);
        CloseWindows(window);
    });
    for (int sig : kClosingSignals) {
        struct sigaction previous {};
        sigaction(sig, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnClosingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(sig, &action, nullptr);
    }
}

int ClosingSignal() {
    return closing_signal;
}
