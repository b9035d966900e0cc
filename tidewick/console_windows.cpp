// One key from the Windows console through _getch (no echo, no Enter). The wait looks at the
// interruption now and then, since Ctrl-C reaches the program as a control event, not as a key.
// When standard input is not a console, one byte is read from it instead, so a script can
// still answer.
#include <conio.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "tidewick/console.h"
#include "tidewick/interruption.h"

namespace tidewick {
namespace {

constexpr DWORD kStopLookMs = 100;

}  // namespace

void RestoreTerminal() {
    // _getch leaves the console's modes as they were.
}

int ReadKey() {
    if (_isatty(_fileno(stdin))) {
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        while (!Interrupted()) {
            if (_kbhit()) return _getch();
            WaitForSingleObject(input, kStopLookMs);
        }
        return -1;
    }
    unsigned char c = 0;
    if (_read(_fileno(stdin), &c, 1) != 1 || Interrupted()) return -1;
    return c;
}

}  // namespace tidewick
