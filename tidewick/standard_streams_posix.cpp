#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "tidewick/standard_streams.h"

namespace tidewick {

bool ReopenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower descriptors are open by now, so this lands on `fd` itself.
        int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0) return false;
        if (opened != fd) {
            int placed = dup2(opened, fd);
            close(opened);
            if (placed != fd) return false;
        }
    }
    return true;
}

}  // namespace tidewick
