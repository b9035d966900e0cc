#include "cartloom/app/save_data.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cstddef>
#include <vector>

#include "cartloom/app/dialogs.h"
#include "cartloom/app/file_dialog.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/image_header.h"
#include "cartloom/app/info_erase_backup.h"
#include "cartloom/app/operation_state.h"
#include "cartloom/app/save_data_size_dialog.h"
#include "cartloom/app/write_verify.h"
#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"

std::uint32_t SaveBlocks = 0;

namespace {

// The save area never reaches past the first chip, whatever size the game has.
constexpr std::uint32_t kChip1Blocks = 64;
// A sector erase goes to every 4 KB boundary of the area; the chip erases the sector around it.
constexpr std::uint32_t kEraseStep = 0x1000;
// Blocks per item of SaveDataSize: 32K, 64K, 128K.
constexpr std::uint32_t kSaveAreaBlocks[] = {1, 2, 4};
// The chips' sectors: 64 KB up to the last 64 KB of a chip, then 32, 8, 8 and 16 KB.
constexpr std::uint32_t kChipBytes = 0x200000;
constexpr std::uint32_t kBigSector = 0x10000;
constexpr std::uint32_t kTopSectorStarts[] = {0x1FC000, 0x1FA000, 0x1F8000, 0x1F0000};

// Reads the header for the end of the game's data. Without a header, or with no cartridge size
// known, DataBlocks is 0 or left over from another cartridge, and blocks counted down from it
// would lie below block 0 or outside this game: nothing may be read or written then.
bool ReadDataEnd() {
    if (ReadCartHeader() != 0) return true;
    LogLine("Save Data Area Error!!!");
    return false;
}

void ClampDataEnd() {
    DataBlocks = std::min(DataBlocks, kChip1Blocks);
}

// Whether the loaded file fits between address 0 and `end`, the end of the game's data.
bool RestoreFileFits(std::uint32_t end) {
    if (ImageSize <= 0) {
        LogLine("file size error!!!");
        return false;
    }
    if (static_cast<std::uint32_t>(ImageSize) > end) {
        LogLine("file size over data area!!!");
        return false;
    }
    return true;
}

// Start of the sector that holds `addr` of chip 1.
std::uint32_t SectorStart(std::uint32_t addr) {
    for (std::uint32_t start : kTopSectorStarts) {
        if (addr >= start && addr < kChipBytes) return start;
    }
    return addr & ~(kBigSector - 1);
}

// Erases the area from `start` to `end` with a sector erase at every 4 KB boundary. The chip
// erases whole sectors, so an area that begins inside a 64 KB sector (a 32 KB area of a 4 or
// 8 Mbit game) would take the game's data below it along, and the restore does not write that
// back: it is read before the erase and programmed again after it. false on a failure.
bool EraseSaveArea(std::uint32_t start, std::uint32_t end) {
    const std::uint32_t kept_first = SectorStart(start) / kBlockBytes;
    const std::uint32_t kept_end = start / kBlockBytes;
    std::vector<std::uint8_t> kept;
    for (std::uint32_t b = kept_first; b < kept_end; ++b) {
        ReadBlockPages(b, 128);
        kept.insert(kept.end(), BlockBuffer.begin(), BlockBuffer.end());
    }
    SelectChip1();
    for (std::uint32_t a = start; a < end; a += kEraseStep) {
        if (EraseSector(a) != 0) return false;
    }
    for (std::uint32_t b = kept_first; b < kept_end; ++b) {
        const auto from = kept.begin() + std::ptrdiff_t{b - kept_first} * kBlockBytes;
        std::copy(from, from + kBlockBytes, BlockBuffer.begin());
        if (ProgramBlock(b) != 0 || VerifyBlockPages(b, 128) != 0) {
            LogLine(QStringLiteral("Write Cart error at ") + QString::number(b * kBlockBytes, 16));
            return false;
        }
    }
    return true;
}

// The restore file was loaded, but nothing is written.
void EndRefusedRestore() {
    CloseImageFile();
    EndOperation();
    PumpMessages();
}

std::uint32_t FileBaseBlock() {
    return DataBlocks - static_cast<std::uint32_t>(ImageSize) / kBlockBytes;
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
                SaveDialog1->FileName = DumpFileName(CartTitle);
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
    if (TransferImage(false, FileBaseBlock())) {
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
            VerifyImage(FileBaseBlock());
        } else {
            CloseImageFile();
        }
    }
    EndOperation();
    PumpMessages();
}
