// Where there are no POSIX signals the window closes only by its frame or Exit.
#include "cartloom/app/signals.h"

void CloseOnSignals(QWidget*) {}

int ClosingSignal() {
    return 0;
}
