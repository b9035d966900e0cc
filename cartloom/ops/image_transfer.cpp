#include "cartloom/ops/image_transfer.h"

#include <cstdio>

#include "cartloom/link/flash.h"
#include "cartloom/ops/block_loop.h"
#include "cartloom/ops/image_file.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/text.h"
#include "cartloom/ops/window.h"

namespace {

constexpr std::int32_t kByteUnitLimit = 65535;  // longer images count the bar in KiB

}  // namespace

bool TransferImage(bool verify, std::uint32_t baseBlock) {
    // Blocks programmed past the cartridge's end would land on its start. Reads there only see
    // the start again, as every read past the end does, a backup's included.
    if (!verify && !ImageFitsCart(baseBlock)) return false;
    const std::uint32_t unit = ImageSize > kByteUnitLimit ? 1024 : 1;
    ProgressTotal = static_cast<std::uint32_t>(ImageSize);
    const std::uint32_t blocks = ProgressTotal / kBlockBytes;  // loading took whole blocks only
    return RunBlockLoop(blocks, kBlockBytes / unit, ProgressTotal / unit, [&](std::uint32_t i) {
        if (std::fread(BlockBuffer.data(), 1, kBlockBytes, ImageFile) != kBlockBytes) {
            LogLine("Read file error");
            return false;
        }
        ImageSize -= static_cast<std::int32_t>(kBlockBytes);
        if (verify) {
            if (VerifyBlockPages(baseBlock + i, 128) == 0) return true;
            LogLine("Verify Cart error at " + Hex(i * kBlockBytes));
            return false;
        }
        if (ProgramBlock(baseBlock + i) == 0) return true;
        LogLine("Write Cart error at " + Hex(i * kBlockBytes));
        return false;
    });
}

bool VerifyImage(std::uint32_t baseBlock) {
    BeginOperation();
    SetCaption(StatusCaption::Operation, "File Verifying...");
    const bool ok = TransferImage(true, baseBlock);
    SetProgress(0);
    LogLine(ok ? "File Verify Completed" : "File Verify Abort!!!");
    CloseImageFile();
    EndOperation();
    PumpMessages();
    return ok;
}
