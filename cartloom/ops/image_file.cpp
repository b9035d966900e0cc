#include "cartloom/ops/image_file.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/ops/image_header.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/window.h"

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::uint32_t kLargestCart = 0x400000;

// Only a regular file: opening a FIFO would wait for a writer, and a directory or a device is
// no image.
std::FILE* OpenForReading() {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(OpenDialog1FileName, ec)) return nullptr;
    return std::fopen(OpenDialog1FileName.c_str(), "rb");
}

long FileLength(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long length = std::ftell(f);
    std::rewind(f);
    return length;
}

}  // namespace

bool LoadImageFile(bool checkHeader) {
    SetCaption(StatusCaption::Operation, "");
    SetCaption(StatusCaption::Seconds, "");
    SetProgress(0);
    PumpMessages();

    std::FILE* f = OpenForReading();
    if (f == nullptr) {
        LogLine("File Open Error!!!");
        return false;
    }
    const long length = FileLength(f);
    if (length < 0 || length > INT32_MAX || length % kBlockBytes != 0) {
        LogLine("file size error!!!");
        std::fclose(f);
        return false;
    }
    ImageSize = static_cast<std::int32_t>(length);
    if (std::fread(BlockBuffer.data(), 1, kHeaderBytes, f) != kHeaderBytes) {
        LogLine("file read error");
        std::fclose(f);
        return false;
    }
    std::fclose(f);
    ShowFileSize();

    if (checkHeader) {
        // Only the 128 bytes just read decide: the rest of the buffer is whatever the last
        // operation left there and must not make the same file pass once and fail the next time.
        if (ClassifyHeader(kHeaderBytes) == HeaderNone) {
            LogLine("file header error");
            return false;
        }
        ShowFileHeader();
    }

    ImageFile = OpenForReading();
    if (ImageFile == nullptr) {
        LogLine("File Open Error!!!");
        return false;
    }
    return true;
}

bool SelectImageFile(bool reuseLastName, bool checkHeader) {
    if (reuseLastName) return LoadImageFile(false);
    if (!ChooseFile(FileDialog::Open, &OpenDialog1FileName)) return false;
    return LoadImageFile(checkHeader);
}

void ShowFileSize() {
    LogLine("File size = " + std::to_string(ImageSize));
}

bool ImageFitsCart(std::uint32_t baseBlock) {
    const std::uint32_t room = CartSize != 0 ? CartSize : kLargestCart;
    const std::uint64_t end = std::uint64_t{baseBlock} * kBlockBytes + std::uint64_t(ImageSize);
    if (end <= room) return true;
    LogLine("file size over cart size!!!");
    return false;
}
