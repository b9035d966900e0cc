// Two names are the same file when they lead to the same file index on the same volume. Only
// calls that Windows XP has, so the 32-bit console tool still runs there.
#include <windows.h>

#include <string>

#include "portio/portio.h"

namespace portio {
namespace {

bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return Identify(a, &ia) && Identify(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace portio
