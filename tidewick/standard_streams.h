// Standard input, output and error as the program expects them at start.
#pragma once

namespace tidewick {

// Opens /dev/null on each of descriptors 0, 1 and 2 that the caller left closed, so that no
// file the program opens later takes their place (a backup would receive the progress lines).
// False when that cannot be done; the program must then stop.
bool ReopenClosedStandardStreams();

}  // namespace tidewick
