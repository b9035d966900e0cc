// The console tool from start to end: banner, arguments, port, linker, cartridge, then the
// operations in their fixed order. Returns the exit code; the linker release and the pause
// after an error run at exit.
#pragma once

namespace tidewick {

int RunTidewick(int argc, char** argv);

}  // namespace tidewick
