// The stop signals only set a flag and wake a key read through a pipe; SA_RESTART keeps every
// other system call (console output, file writes) from failing half-way because of them.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>

#include "tidewick/console.h"
#include "tidewick/interruption.h"

namespace tidewick {
namespace {

constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t g_signal = 0;
int g_wake_read = -1;
int g_wake_write = -1;

// As the signal would have ended the program without a handler, but with the terminal back.
void EndNow(int sig) {
    RestoreTerminal();
    signal(sig, SIG_DFL);
    raise(sig);
}

void OnStopSignal(int sig) {
    if (g_signal != 0) {
        EndNow(sig);
        return;
    }
    g_signal = sig;
    if (g_wake_write >= 0) {
        const char byte = 1;
        if (write(g_wake_write, &byte, 1) < 0) {
            // The pipe is full or gone: the flag alone still stops the run.
        }
    }
}

// Ctrl-\ stays what it is, an immediate end; only the terminal is put back first.
void OnQuit(int sig) {
    EndNow(sig);
}

void Install(int sig, void (*handler)(int)) {
    struct sigaction previous {};
    if (sigaction(sig, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
}

void SetFlags(int fd) {
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

void ArmInterruption() {
    int fds[2];
    if (g_wake_read < 0 && pipe(fds) == 0) {
        SetFlags(fds[0]);
        SetFlags(fds[1]);
        g_wake_read = fds[0];
        g_wake_write = fds[1];
    }
    for (int sig : kStopSignals) Install(sig, OnStopSignal);
    Install(SIGQUIT, OnQuit);
}

int InterruptSignal() {
    return g_signal;
}

int InterruptionWakeFd() {
    return g_wake_read;
}

}  // namespace tidewick
