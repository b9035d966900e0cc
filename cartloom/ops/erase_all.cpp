#include "cartloom/ops/erase_all.h"

#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/ops/image_header.h"
#include "cartloom/ops/link_check.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/window.h"

namespace {

constexpr std::uint32_t kChip2FirstBlock = 0x40;

bool EraseFailed(const char* message) {
    LogLine(message);
    EndOperation();
    return false;
}

}  // namespace

bool EraseAllChips(bool reportOk) {
    BeginOperation();
    SetCaption(StatusCaption::Operation, "Erasing...");
    SelectChipForBlock(0);
    if (EraseChip() != 0) return EraseFailed("chip1 erase error!");
    ReadBlockPages(0, 128);
    // A silent linker reads as erased flash: the erase and its blank check count only while it
    // still answers.
    if (ClassifyHeader() != HeaderBlank || !LinkStillAnswers()) {
        return EraseFailed("chip1 erase error!");
    }
    if (CartSize / kBlockBytes > kChip2FirstBlock) {
        SelectChipForBlock(kChip2FirstBlock);
        if (EraseChip() != 0) return EraseFailed("chip2 erase error!");
    } else {
        // No second chip to erase: what reads through its selection must already be blank.
        ReadBlockPages(kChip2FirstBlock, 128);
        if (ClassifyHeader() != HeaderBlank) return EraseFailed("chip2 erase error!");
    }
    if (!LinkStillAnswers()) return EraseFailed("chip2 erase error!");
    if (reportOk) LogLine("Erase All Data Ok");
    return true;
}
