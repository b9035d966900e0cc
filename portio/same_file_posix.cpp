// Two names are the same file when they lead to the same inode on the same device.
#include <sys/stat.h>

#include <string>

#include "portio/portio.h"

namespace portio {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace portio
