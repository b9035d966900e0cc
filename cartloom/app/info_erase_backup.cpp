// The Info, Erase and Backup buttons.
#include <QDialog>
#include <string>

#include "cartloom/app/backup_data_size_dialog.h"
#include "cartloom/app/dialog_parts.h"
#include "cartloom/app/erase_dlg.h"
#include "cartloom/app/form1.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/dump_file.h"
#include "cartloom/ops/erase_all.h"
#include "cartloom/ops/image_header.h"
#include "cartloom/ops/link_check.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/window.h"

namespace {

// Backup sizes in blocks, one per item of BackupDataSize: 4, 8, 16 and 32 Mbit.
constexpr std::uint32_t kBackupBlocks[] = {16, 32, 64, 128};

// The item that proposes `blocks`, or -1.
int BackupItemFor(std::uint32_t blocks) {
    for (int i = 0; i < 4; ++i) {
        if (kBackupBlocks[i] == blocks) return i;
    }
    return -1;
}

// After ReadCartHeader returned 0: true when that was because the first page holds no game
// header (it is still in BlockBuffer, since no size probe ran), false when only the cartridge
// size was unknown.
bool CartHeaderMissing() {
    return ClassifyHeader(kPageBytes) != HeaderMarker;
}

}  // namespace

void TForm1::InfoClick() {
    if (!FindLink()) return;
    BeginOperation();
    const std::uint32_t n = ReadCartHeader();
    if (n / 4 != 0) LogLine(std::to_string(n / 4) + "M " + CartCaption + " Cart found");
    EndOperation();
}

void TForm1::EraseClick() {
    if (!FindLink()) return;
    if (Erase_Dlg->exec() == QDialog::Accepted) {
        EraseAllChips(true);
    } else {
        LogLine("Erase All Data Cancel");
    }
    EndOperation();
    PumpMessages();
}

void TForm1::BackupClick() {
    if (!FindLink()) return;
    const std::uint32_t n = ReadCartHeader();
    if (!LinkAnswered) {
        LogLine("Backup Cancel!!!");
        EndOperation();
        PumpMessages();
        return;
    }
    const bool header_missing = n == 0 && CartHeaderMissing();
    // No game header, and no cartridge that answers either: there is nothing to back up, and
    // a file of what an empty slot reads would pass its own verify.
    if (header_missing && DetectCart() == 0) {
        LogLine("Backup Cancel!!!");
        EndOperation();
        PumpMessages();
        return;
    }
    TRadioGroup* size = BackupDataSizeDialog->BackupDataSize;
    if (n != 0) {
        size->SetItemIndex(BackupItemFor(n));
    } else if (header_missing && BackupItemFor(CartSize / kBlockBytes) >= 0) {
        // Nothing tells how much of the flash a game uses: propose the whole cartridge, so a
        // backup taken as proposed loses nothing. With no size known the last choice stays.
        size->SetItemIndex(BackupItemFor(CartSize / kBlockBytes));
    }
    SetGameName(BackupDataSizeDialog->GameName, CartTitle);
    if (BackupDataSizeDialog->exec() != QDialog::Accepted) {
        LogLine("Backup Cancel!!!");
        EndOperation();
        PumpMessages();
        return;
    }
    const int item = size->ItemIndex();
    const std::uint32_t blocks = item >= 0 && item < 3 ? kBackupBlocks[item] : 128;
    LogLine(std::to_string(blocks / 4) + "M " + CartCaption);
    ProgressTotal = blocks;
    // Without a header the title is whatever the first bytes hold: no name to propose.
    SaveDialog1FileName = header_missing ? std::string() : DumpFileName(CartTitle);
    SaveBlocksToFile(0);
}
