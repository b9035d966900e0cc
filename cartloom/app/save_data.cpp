// The Save Data and Restore Data buttons.
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "cartloom/app/dialog_parts.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/save_data_size_dialog.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/dump_file.h"
#include "cartloom/ops/image_file.h"
#include "cartloom/ops/image_header.h"
#include "cartloom/ops/image_transfer.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/save_area.h"
#include "cartloom/ops/window.h"

namespace {

// Blocks per item of SaveDataSize: 32K, 64K, 128K.
constexpr std::uint32_t kSaveAreaBlocks[] = {1, 2, 4};

// The restore file was loaded, but nothing is written.
void EndRefusedRestore() {
    CloseImageFile();
    EndOperation();
    PumpMessages();
}

}  // namespace

void TForm1::SaveDataClick() {
    if (!FindLink()) return;
    if (ReadDataEnd()) {
        SetGameName(SaveDataSizeDialog->GameName, CartTitle);
        if (SaveDataSizeDialog->exec() != QDialog::Accepted) {
            LogLine("Save Data Cancel");
        } else {
            const int item = SaveDataSizeDialog->SaveDataSize->ItemIndex();
            SaveBlocks = kSaveAreaBlocks[std::clamp(item, 0, 2)];
            // The size is taken from a read after the dialog: the cartridge may have changed.
            if (ReadDataEnd()) {
                ProgressTotal = SaveBlocks;
                ClampDataEnd();
                SaveDialog1FileName = DumpFileName(CartTitle);
                SaveBlocksToFile(DataBlocks - SaveBlocks);
            }
        }
    }
    EndOperation();
    PumpMessages();
}

void TForm1::RestoreDataClick() {
    if (!FindLink()) return;
    if (!SelectImageFile(false, false)) return;
    if (!ReadDataEnd()) return EndRefusedRestore();
    ClampDataEnd();
    const std::uint32_t end = DataBlocks * kBlockBytes;
    // A longer file would start below address 0: refused before anything is erased.
    if (!RestoreFileFits(end)) return EndRefusedRestore();
    const std::uint32_t start = end - static_cast<std::uint32_t>(ImageSize);

    BeginOperation();
    Label2->setText(QStringLiteral("Erase Save Data Area..."));
    PumpMessages();
    if (!EraseSaveArea(start, end)) {
        ProgressBar1->setValue(0);
        LogLine("Erase Data Error!!!");
        CloseImageFile();
        EndOperation();
        PumpMessages();
        return;
    }

    Label2->setText(QStringLiteral("Save Data Writing..."));
    if (TransferImage(false, RestoreBaseBlock())) {
        LogLine("Save Data Write Completed");
    } else {
        ProgressBar1->setValue(0);
        LogLine("Save Data Write Abort!!!");
    }
    CloseImageFile();
    // The reload takes the file's length anew; a file that grew meanwhile is not verified at
    // blocks below 0.
    if (SelectImageFile(true, true)) {
        if (RestoreFileFits(end)) {
            VerifyImage(RestoreBaseBlock());
        } else {
            CloseImageFile();
        }
    }
    EndOperation();
    PumpMessages();
}
