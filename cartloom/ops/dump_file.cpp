#include "cartloom/ops/dump_file.h"

#include <algorithm>
#include <cstdio>

#include "cartloom/link/flash.h"
#include "cartloom/ops/block_loop.h"
#include "cartloom/ops/image_file.h"
#include "cartloom/ops/image_transfer.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/replace_file.h"
#include "cartloom/ops/text.h"
#include "cartloom/ops/window.h"

namespace {

constexpr std::size_t kSizeLineChars = 180;

// Where the running save writes, and the file it is to replace.
FileReplacement dump;

bool IsUnsafeInFileName(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    return std::u32string_view(U"/\\:*?\"<>|").find(c) != std::u32string_view::npos;
}

// The blanks a title may be padded with.
bool IsBlank(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

}  // namespace

std::string DumpFileName(std::string_view title) {
    std::u32string name = DecodeUtf8(title);
    const auto first = std::find_if_not(name.begin(), name.end(), IsBlank);
    name.erase(name.begin(), first);
    const auto last = std::find_if_not(name.rbegin(), name.rend(), IsBlank);
    name.erase(last.base(), name.end());
    for (char32_t& c : name) {
        if (IsUnsafeInFileName(c)) c = U'_';
    }
    // "." and ".." name directories, not files.
    if (!name.empty() &&
        std::all_of(name.begin(), name.end(), [](char32_t c) { return c == U'.'; })) {
        std::fill(name.begin(), name.end(), U'_');
    }
    return EncodeUtf8(name);
}

bool WriteFileBlock() {
    // The flush makes a full disk show at this block, not only when the file is closed.
    return std::fwrite(BlockBuffer.data(), 1, kBlockBytes, ImageFile) == kBlockBytes &&
           std::fflush(ImageFile) == 0;
}

bool DumpBlocks(std::uint32_t startBlock) {
    return RunBlockLoop(ProgressTotal, 1, ProgressTotal, [startBlock](std::uint32_t i) {
        ReadBlockPages(startBlock + i, 128);
        return WriteFileBlock();
    });
}

bool ChooseDumpFile() {
    if (!ChooseFile(FileDialog::Save, &SaveDialog1FileName)) return false;
    SetCaption(StatusCaption::Operation, "");
    SetCaption(StatusCaption::Seconds, "");
    SetProgress(0);
    PumpMessages();
    CloseImageFile();
    ImageFile = OpenReplacement(SaveDialog1FileName, &dump);
    LogLine("File Name : " + SaveDialog1FileName);
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
    char size_line[kSizeLineChars + 1];
    if (startBlock != 0) {
        std::snprintf(size_line, sizeof size_line, "%uKbits file saving...", ProgressTotal * 32);
    } else {
        std::snprintf(size_line, sizeof size_line, "%uMbits file saving...", ProgressTotal / 4);
    }
    LogLine(size_line);
    const bool saved = DumpBlocks(startBlock);
    const bool stopped = !saved && StopRequested;
    // A write that failed, at any block or only when the file is closed, leaves a file that is
    // not the cartridge's, so the save is never reported complete then.
    const bool write_failed = std::ferror(ImageFile) != 0;
    const bool closed = std::fclose(ImageFile) == 0;
    ImageFile = nullptr;
    if (saved && closed) {
        LogLine("File Save Completed");
    } else {
        SetProgress(0);
        LogLine("File Save Abort!!!");
    }
    // The new file is verified against the cartridge, a stopped save as far as it went, and
    // takes the chosen name only when that passes. After a failed write or a lost linker the
    // file is known to be wrong, and its verify could only fail or, worse, pass.
    bool verified = false;
    if ((saved || stopped) && !write_failed && closed) {
        OpenDialog1FileName = dump.writing;
        if (SelectImageFile(true, true)) verified = VerifyImage(startBlock);
    }
    OpenDialog1FileName = SaveDialog1FileName;
    if (dump.writing != dump.target) {
        if (!verified) {
            DiscardReplacement(dump);
            // The file was saved whole but is not the cartridge's: it is not kept either.
            if (saved && closed) LogLine("File Save Abort!!!");
        } else if (!CommitReplacement(dump)) {
            LogLine("File Save Abort!!!");
        }
    }
    EndOperation();
    PumpMessages();
}
