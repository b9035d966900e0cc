// One key from a POSIX terminal: canonical mode and echo are switched off for the one read and
// switched back at once. The read waits on standard input and on the interruption's wake-up
// pipe together, so a stop signal ends a question as it ends any other step.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "tidewick/console.h"
#include "tidewick/interruption.h"

namespace tidewick {
namespace {

termios g_saved;
volatile sig_atomic_t g_raw = 0;

// -1 at end of input, on an error that retrying cannot mend, or once a stop was asked for.
int ReadOneByte() {
    const int wake = InterruptionWakeFd();
    for (;;) {
        if (Interrupted()) return -1;
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake, POLLIN, 0}};
        if (poll(fds, wake >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (fds[0].revents == 0) continue;  // woken for a stop: seen at the top
        unsigned char c = 0;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n == 1) return c;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return -1;
    }
}

}  // namespace

void RestoreTerminal() {
    if (g_raw) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
        g_raw = 0;
    }
}

int ReadKey() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved) != 0) return ReadOneByte();

    termios raw = g_saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    g_raw = 1;
    int key = -1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) key = ReadOneByte();
    RestoreTerminal();
    return key;
}

}  // namespace tidewick
