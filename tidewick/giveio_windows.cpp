// Port rights on Windows come from the GiveIO driver: on the Windows versions it serves, opening
// "\\.\giveio" once grants the process IN and OUT for the rest of its life, and the handle is
// closed at once. After that portio performs the port I/O directly.
#include <windows.h>

#include "tidewick/port_access.h"

namespace tidewick {

bool GainPortRights() {
    const DWORD major = LOBYTE(LOWORD(GetVersion()));
    if (major < 4 || major > 9) return true;
    HANDLE driver = CreateFileA("\\\\.\\giveio", 0, 0, NULL, OPEN_ALWAYS, 0, NULL);
    if (driver == INVALID_HANDLE_VALUE) return false;
    CloseHandle(driver);
    return true;
}

}  // namespace tidewick
