#include "cartloom/app/info_erase_backup.h"

#include <QLabel>
#include <QProgressBar>
#include <cstdio>

#include "cartloom/app/backup_data_size_dialog.h"
#include "cartloom/app/dialogs.h"
#include "cartloom/app/erase_dlg.h"
#include "cartloom/app/file_dialog.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/image_header.h"
#include "cartloom/app/operation_state.h"
#include "cartloom/app/write_verify.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"

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

bool IsUnsafeInFileName(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) return true;
    return QStringLiteral("/\\:*?\"<>|").contains(c);
}

}  // namespace

QString DumpFileName(const QString& title) {
    QString name = title.trimmed();
    for (QChar& c : name) {
        if (IsUnsafeInFileName(c)) c = QLatin1Char('_');
    }
    // "." and ".." name directories, not files.
    if (!name.isEmpty() && name.count(QLatin1Char('.')) == name.size()) {
        name.fill(QLatin1Char('_'));
    }
    return name;
}

bool WriteFileBlock() {
    // The flush makes a full disk show at this block, not only when the file is closed.
    return std::fwrite(BlockBuffer.data(), 1, kBlockBytes, ImageFile) == kBlockBytes &&
           std::fflush(ImageFile) == 0;
}

bool DumpBlocks(std::uint32_t startBlock) {
    Form1->ProgressBar1->setValue(0);
    Form1->ProgressBar1->setMaximum(static_cast<std::uint16_t>(ProgressTotal));
    for (std::uint32_t i = 0; i < ProgressTotal; ++i) {
        Form1->ProgressBar1->setValue(static_cast<std::uint16_t>(i));
        PumpMessages();
        if (StopRequested) {
            ReportStop();
            return false;
        }
        ReadBlockPages(startBlock + i, 128);
        if (!WriteFileBlock()) return false;
    }
    Form1->ProgressBar1->setValue(static_cast<std::uint16_t>(ProgressTotal));
    LogLine(QStringLiteral("Process time = %1 Sec").arg(ElapsedSeconds));
    PumpMessages();
    return true;
}

bool ChooseDumpFile() {
    if (!Form1->SaveDialog1->Execute()) return false;
    Form1->Label2->clear();
    Form1->Label3->clear();
    Form1->ProgressBar1->setValue(0);
    PumpMessages();
    const QString& name = Form1->SaveDialog1->FileName;
    CloseImageFile();
    ImageFile = std::fopen(name.toLocal8Bit().constData(), "wb");
    LogLine(QStringLiteral("File Name : ") + name);
    if (ImageFile == nullptr) {
        LogLine("File Open Error!!!");
        return false;
    }
    return true;
}

void SaveBlocksToFile(std::uint32_t startBlock) {
    if (!ChooseDumpFile()) {
        LogLine("Backup Cancel!!!");
        EndOperation();
        PumpMessages();
        return;
    }
    BeginOperation();
    LogLine(startBlock != 0 ? QString::asprintf("%dKbits file saving...", ProgressTotal * 32)
                            : QString::asprintf("%dMbits file saving...", ProgressTotal / 4));
    const bool saved = DumpBlocks(startBlock);
    // A write that failed, at any block or only when the file is closed, leaves a file that is
    // not the cartridge's, so the save is never reported complete then.
    const bool write_failed = std::ferror(ImageFile) != 0;
    const bool closed = std::fclose(ImageFile) == 0;
    ImageFile = nullptr;
    if (saved && closed) {
        LogLine("File Save Completed");
    } else {
        Form1->ProgressBar1->setValue(0);
        LogLine("File Save Abort!!!");
    }
    Form1->OpenDialog1->FileName = Form1->SaveDialog1->FileName;
    // A stopped save is verified as far as it went. After a failed write the file is known to be
    // short or unreadable (a full disk, a device that takes nothing), and its verify would end
    // in a "Completed" line for a backup that does not exist.
    if (!write_failed && closed && SelectImageFile(true, true)) VerifyImage(startBlock);
    EndOperation();
    PumpMessages();
}

void TForm1::InfoClick() {
    if (!FindLink()) return;
    BeginOperation();
    const std::uint32_t n = ReadCartHeader();
    if (n / 4 != 0) {
        LogLine(QStringLiteral("%1M ").arg(n / 4) + CartCaption + QStringLiteral(" Cart found"));
    }
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
    const bool header_missing = n == 0 && CartHeaderMissing();
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
    LogLine(QStringLiteral("%1M ").arg(blocks / 4) + CartCaption);
    ProgressTotal = blocks;
    // Without a header the title is whatever the first bytes hold: no name to propose.
    SaveDialog1->FileName = header_missing ? QString() : DumpFileName(CartTitle);
    SaveBlocksToFile(0);
}
