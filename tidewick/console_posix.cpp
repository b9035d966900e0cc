// One key from a POSIX terminal: canonical mode and echo are switched off for the one read and
// switched back at once. Ctrl-C still interrupts; the handler puts the terminal back first and
// then lets the signal end the program as usual.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "tidewick/console.h"

namespace tidewick {
namespace {

constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

termios g_saved;
volatile sig_atomic_t g_raw = 0;

void RestoreTerminal() {
    if (g_raw) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
        g_raw = 0;
    }
}

void OnEndingSignal(int sig) {
    RestoreTerminal();
    signal(sig, SIG_DFL);
    raise(sig);
}

// -1 at end of input or on an error that retrying cannot mend.
int ReadOneByte() {
    unsigned char c = 0;
    for (;;) {
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n == 1) return c;
        if (n < 0 && errno == EINTR) continue;
        return -1;
    }
}

}  // namespace

int ReadKey() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved) != 0) return ReadOneByte();

    std::array<struct sigaction, kEndingSignals.size()> previous{};
    struct sigaction restore {};
    restore.sa_handler = OnEndingSignal;
    sigemptyset(&restore.sa_mask);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        sigaction(kEndingSignals[i], &restore, &previous[i]);
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (previous[i].sa_handler == SIG_IGN) sigaction(kEndingSignals[i], &previous[i], nullptr);
    }

    termios raw = g_saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    g_raw = 1;
    int key = -1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) key = ReadOneByte();
    RestoreTerminal();

    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
    return key;
}

}  // namespace tidewick
