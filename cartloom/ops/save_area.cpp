#include "cartloom/ops/save_area.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"
#include "cartloom/ops/image_header.h"
#include "cartloom/ops/link_check.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/text.h"
#include "cartloom/ops/window.h"

std::uint32_t SaveBlocks = 0;

namespace {

// The save area never reaches past the first chip, whatever size the game has.
constexpr std::uint32_t kChip1Blocks = 64;
// A sector erase goes to every 4 KB boundary of the area; the chip erases the sector around it.
constexpr std::uint32_t kEraseStep = 0x1000;

}  // namespace

void ResetSaveDataState() {
    SaveBlocks = 0;
}

bool ReadDataEnd() {
    if (ReadCartHeader() != 0) return true;
    LogLine("Save Data Area Error!!!");
    return false;
}

void ClampDataEnd() {
    DataBlocks = std::min(DataBlocks, kChip1Blocks);
}

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

std::uint32_t RestoreBaseBlock() {
    return DataBlocks - static_cast<std::uint32_t>(ImageSize) / kBlockBytes;
}

// An area that begins inside a 64 KB sector (a 32 KB area of a 4 or 8 Mbit game) would take
// the game's data below it along, and the restore does not write that back itself.
bool EraseSaveArea(std::uint32_t start, std::uint32_t end) {
    const std::uint32_t kept_first = SectorStart(start) / kBlockBytes;
    const std::uint32_t kept_end = start / kBlockBytes;
    std::vector<std::uint8_t> kept;
    for (std::uint32_t b = kept_first; b < kept_end; ++b) {
        ReadBlockPages(b, 128);
        kept.insert(kept.end(), BlockBuffer.begin(), BlockBuffer.end());
    }
    // Nothing is erased on the strength of data a silent linker gave.
    if (kept_first < kept_end && !LinkStillAnswers()) return false;
    SelectChip1();
    bool erased = true;
    for (std::uint32_t a = start; a < end && erased; a += kEraseStep) erased = EraseSector(a) == 0;
    // A silent linker reads as an erase that finished at once, and nothing can be written back.
    if (!LinkStillAnswers()) return false;
    // An erase that failed may have cleared the kept data all the same: it goes back whatever
    // happened, once the chip has left its time-limit state.
    if (!erased) FlashReset();
    for (std::uint32_t b = kept_first; b < kept_end; ++b) {
        const auto from = kept.begin() + static_cast<std::ptrdiff_t>(b - kept_first) * kBlockBytes;
        std::copy(from, from + kBlockBytes, BlockBuffer.begin());
        if (ProgramBlock(b) != 0 || VerifyBlockPages(b, 128) != 0) {
            LogLine("Write Cart error at " + Hex(b * kBlockBytes));
            LinkStillAnswers();
            return false;
        }
    }
    return erased;
}
