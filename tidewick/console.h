// Keyboard input for the questions and the pause after an error.
#pragma once

namespace tidewick {

// Reads one key without echo and without waiting for Enter, and returns it (0 to 255), or -1
// when no key can come (input ended or failed, or a stop was asked for: see interruption.h).
// When standard input is not a terminal it reads exactly one byte from it, so a script can
// answer with `printf y |`. The terminal is always left as it was found. One file per OS
// provides it.
int ReadKey();

// Puts the terminal back when a key read has switched it; safe inside a signal handler.
void RestoreTerminal();

// Prints `question` (which ends in a newline), reads one key and returns true for y or Y.
// Nothing is printed after the key.
bool Ask(const char* question);

// Exit handler armed by /e: after a failure, waits for a key; not after a stop on request.
void PauseOnError();

}  // namespace tidewick
