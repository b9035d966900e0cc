#include <cstdio>

#include "tidewick/interruption.h"
#include "tidewick/settings.h"

namespace tidewick {

int ReportInterruption() {
    static bool reported = false;
    if (!reported) {
        reported = true;
        std::printf("\rInterrupted!\n");
        std::fflush(stdout);
    }
    return Failed();
}

}  // namespace tidewick
