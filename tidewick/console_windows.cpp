// One key from the Windows console through _getch (no echo, no Enter). When standard input is
// not a console, one byte is read from it instead, so a script can still answer.
#include <conio.h>
#include <io.h>
#include <stdio.h>

#include "tidewick/console.h"

namespace tidewick {

int ReadKey() {
    if (_isatty(_fileno(stdin))) return _getch();
    unsigned char c = 0;
    return _read(_fileno(stdin), &c, 1) == 1 ? c : -1;
}

}  // namespace tidewick
