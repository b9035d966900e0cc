// Port rights on Windows come from the GiveIO driver: on the Windows versions it serves, opening
// "\\.\giveio" once grants the process IN and OUT for the rest of its life, and the handle is
// closed at once. After that portio performs the port I/O directly.
#include <windows.h>

#include <array>

#include "portio/portio.h"
#include "tidewick/port_access.h"

namespace tidewick {

bool GainPortRights(std::uint16_t base, std::string* hint) {
    const DWORD major = LOBYTE(LOWORD(GetVersion()));
    if (major >= 4 && major <= 9) {
        HANDLE driver = CreateFileA("\\\\.\\giveio", 0, 0, NULL, OPEN_ALWAYS, 0, NULL);
        if (driver == INVALID_HANDLE_VALUE) return false;
        CloseHandle(driver);
    }
    const std::array<std::uint16_t, 1> bases = {base};
    portio::AccessResult result = portio::OpenPortAccess(bases);
    if (!result.usable) *hint = result.message;
    return result.usable;
}

}  // namespace tidewick
