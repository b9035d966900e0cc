#include "tidewick/main_sequence.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tidewick/command_line.h"
#include "tidewick/interruption.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/port_access.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

// The exit code of a run that ends early: 128 + the signal when it was stopped on request
// (said once, if nothing has said it yet), 1 after a failure.
int Ended() {
    if (!Interrupted()) return 1;
    ReportInterruption();
    return 128 + InterruptSignal();
}

bool Succeeded(int result) {
    return result == 0 && !Interrupted();
}

}  // namespace

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
        return Ended();
    }
    // Registered after PauseOnError, so it runs before it: the linker is free while the
    // program waits for a key.
    std::atexit(ReleaseLink);

    if (ProbeCartridge() == 0) {
        std::printf("No cartridge detected!\n");
        ErrorOccurred = true;
        return Ended();
    }
    // A silent linker reads 0xFF here too, which would pass for a cartridge.
    if (CheckLinker() != 0) {
        ReportLinkLost(0);
        return Ended();
    }
    if (Interrupted()) return Ended();

    if (WriteSwitch && !Succeeded(FlashFile())) return Ended();
    if (InfoSwitch && !Succeeded(ShowCartridgeInfo())) return Ended();
    if (BackupSwitch && !Succeeded(BackupCartridge())) return Ended();
    if (VerifySwitch && !Succeeded(VerifyFile())) return Ended();
    return Interrupted() ? Ended() : 0;
}

}  // namespace tidewick
