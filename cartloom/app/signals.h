// The signals that end a session from outside (a logout, a Ctrl-C in the terminal that started
// the window, a kill) close the window the way its frame does: a running operation stops first
// and the linker is given back.
#pragma once

class QWidget;

// From now on SIGTERM, SIGHUP and SIGINT close `window` (and any dialog open over it). A signal
// the caller set to be ignored stays ignored.
void CloseOnSignals(QWidget* window);

// The signal that closed the window, or 0.
int ClosingSignal();
