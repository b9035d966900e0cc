#include "tidewick/main_sequence.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tidewick/command_line.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/port_access.h"
#include "tidewick/settings.h"

namespace tidewick {

int RunTidewick(int argc, char** argv) {
    PrintBanner();
    if (!ReadArguments(argc, argv)) return 0;
    ApplyPortEnvironment();

    std::string problem;
    if (OpenGiveIO(&problem) != 0) {
        if (!problem.empty()) {
            std::printf("%s\n", problem.c_str());
        } else {
            std::printf("GiveIO driver could not be opened!\n");
        }
        return 1;
    }
    if (DetectLinker() != 0) {
        std::printf(
            "Flash Linker could not be found at port 0x%3X!\n"
            "Please check the connection and that it's turned on.\n",
            LinkerPort);
        return 1;
    }
    // Registered after PauseOnError, so it runs before it: the linker is free while the
    // program waits for a key.
    std::atexit(ReleaseLink);

    if (ProbeCartridge() == 0) {
        std::printf("No cartridge detected!\n");
        ErrorOccurred = true;
        return 1;
    }

    if (WriteSwitch && FlashFile() != 0) return 1;
    if (InfoSwitch && ShowCartridgeInfo() != 0) return 1;
    if (BackupSwitch && BackupCartridge() != 0) return 1;
    if (VerifySwitch && VerifyFile() != 0) return 1;
    return 0;
}

}  // namespace tidewick
