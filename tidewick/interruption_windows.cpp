// Ctrl-C and Ctrl-Break arrive on a thread of their own: the handler only notes the first one
// and lets a second one end the process as usual. Closing the console window is left to the
// system's default handling.
#include <windows.h>

#include <atomic>
#include <csignal>

#include "tidewick/interruption.h"

namespace tidewick {
namespace {

std::atomic<int> g_signal{0};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    int none = 0;
    return g_signal.compare_exchange_strong(none, SIGINT) ? TRUE : FALSE;
}

}  // namespace

void ArmInterruption() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

int InterruptSignal() {
    return g_signal.load();
}

int InterruptionWakeFd() {
    return -1;
}

}  // namespace tidewick
