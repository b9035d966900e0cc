#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "portio/portio.h"
#include "tidewick/backup_file.h"
#include "tidewick/console.h"
#include "tidewick/interruption.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

int CantOpen(const char* reason) {
    std::printf("Can't open file!\n%s", reason);
    return Failed();
}

}  // namespace

int BackupCartridge() {
    if (FileArgument == nullptr) return CantOpen("");
    // Its own reads would come from the file being replaced.
    if (portio::IsSimulatorCartridge(FileArgument)) {
        return CantOpen("That file holds the simulated cartridge itself.\n");
    }
    const BackupTargetInfo target = InspectBackupTarget(FileArgument);
    if (target.kind == BackupTarget::Unfit) return CantOpen("Not a regular file.\n");
    if (target.exists) {
        // Asked even with /y: a backup must not replace a file unasked.
        const bool replace = Ask("Overwrite file with backup?\n");
        if (Interrupted()) return ReportInterruption();
        if (!replace) return 0;
    }
    BackupFile file;
    if (!OpenBackupFile(target, &file)) return CantOpen("");
    // Whatever ends the backup early leaves the old file as it was.
    auto fail = [&file](int result) {
        DiscardBackupFile(&file);
        return result;
    };

    ResetChips();
    const std::uint32_t total = MeasureCartridgeSize();
    if (CheckLinker() != 0) return fail(ReportLinkLost(0));
    const std::uint32_t divisor = ProgressDivisor(total);
    std::vector<std::uint8_t> backup(total);
    // One address load per 256 bytes, then the linker reads on by itself: a run the port can
    // pass on at once.
    for (std::uint32_t offset = 0; offset < total; offset += kProgressStep) {
        if (Interrupted()) return fail(ReportInterruption());
        if (offset != 0 && offset % kLinkCheckStep == 0 && CheckLinker() != 0) {
            return fail(ReportLinkLost(offset));
        }
        SetAddress(offset, true);
        PrintProgress("\rBacking up... 0x%06X (%d%%)", offset, divisor);
        ReadDataRun(backup.data() + offset, std::min(kProgressStep, total - offset));
    }
    if (CheckLinker() != 0) return fail(ReportLinkLost(total));
    if (Interrupted()) return fail(ReportInterruption());

    std::string reason;
    if (!CommitBackupFile(&file, backup, &reason)) {
        std::printf("\rCan't write backup file: %s!\n", reason.c_str());
        return Failed();
    }
    std::printf("\n");
    return 0;
}

}  // namespace tidewick
