#include "cartloom/app/write_verify.h"

#include <QLabel>
#include <QProgressBar>
#include <QString>
#include <cstdio>

#include "cartloom/app/file_dialog.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/image_header.h"
#include "cartloom/app/operation_state.h"
#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::uint32_t kChip2FirstBlock = 0x40;
constexpr std::uint32_t kLargestCart = 0x400000;
constexpr std::int32_t kByteUnitLimit = 65535;  // longer images count the bar in KiB

QString Hex(std::uint32_t value) {
    return QString::number(value, 16);
}

std::FILE* OpenForReading() {
    return std::fopen(Form1->OpenDialog1->FileName.toLocal8Bit().constData(), "rb");
}

long FileLength(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long length = std::ftell(f);
    std::rewind(f);
    return length;
}

bool EraseFailed(const char* message) {
    LogLine(message);
    EndOperation();
    return false;
}

}  // namespace

bool LoadImageFile(bool checkHeader) {
    Form1->Label2->clear();
    Form1->Label3->clear();
    Form1->ProgressBar1->setValue(0);
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
    if (!Form1->OpenDialog1->Execute()) return false;
    return LoadImageFile(checkHeader);
}

void ShowFileSize() {
    LogLine(QStringLiteral("File size = %1").arg(ImageSize));
}

bool ImageFitsCart(std::uint32_t baseBlock) {
    const std::uint32_t room = CartSize != 0 ? CartSize : kLargestCart;
    const std::uint64_t end = std::uint64_t{baseBlock} * kBlockBytes + std::uint64_t(ImageSize);
    if (end <= room) return true;
    LogLine("file size over cart size!!!");
    return false;
}

bool TransferImage(bool verify, std::uint32_t baseBlock) {
    if (!ImageFitsCart(baseBlock)) return false;
    std::uint32_t i = 0;
    const std::int32_t unit = ImageSize > kByteUnitLimit ? 1024 : 1;
    ProgressTotal = static_cast<std::uint32_t>(ImageSize);
    Form1->ProgressBar1->setValue(0);
    Form1->ProgressBar1->setMaximum(static_cast<std::uint16_t>(ImageSize / unit));
    while (ImageSize != 0) {
        Form1->ProgressBar1->setValue(
            static_cast<std::uint16_t>((ProgressTotal - static_cast<std::uint32_t>(ImageSize)) /
                                       static_cast<std::uint32_t>(unit)));
        PumpMessages();
        if (StopRequested) {
            ReportStop();
            return false;
        }
        if (std::fread(BlockBuffer.data(), 1, kBlockBytes, ImageFile) != kBlockBytes) {
            LogLine("Read file error");
            return false;
        }
        ImageSize -= static_cast<std::int32_t>(kBlockBytes);
        if (verify) {
            if (VerifyBlockPages(baseBlock + i, 128) != 0) {
                LogLine(QStringLiteral("Verify Cart error at ") + Hex(i * kBlockBytes));
                return false;
            }
        } else if (ProgramBlock(baseBlock + i) != 0) {
            LogLine(QStringLiteral("Write Cart error at ") + Hex(i * kBlockBytes));
            return false;
        }
        ++i;
    }
    Form1->ProgressBar1->setValue(static_cast<std::uint16_t>(ProgressTotal / unit));
    LogLine(QStringLiteral("Process time = %1 Sec").arg(ElapsedSeconds));
    PumpMessages();
    return true;
}

void VerifyImage(std::uint32_t baseBlock) {
    BeginOperation();
    Form1->Label2->setText(QStringLiteral("File Verifying..."));
    const bool ok = TransferImage(true, baseBlock);
    Form1->ProgressBar1->setValue(0);
    LogLine(ok ? "File Verify Completed" : "File Verify Abort!!!");
    CloseImageFile();
    EndOperation();
    PumpMessages();
}

bool EraseAllChips(bool reportOk) {
    BeginOperation();
    Form1->Label2->setText(QStringLiteral("Erasing..."));
    SelectChipForBlock(0);
    if (EraseChip() != 0) return EraseFailed("chip1 erase error!");
    ReadBlockPages(0, 128);
    if (ClassifyHeader() != HeaderBlank) return EraseFailed("chip1 erase error!");
    if (CartSize / kBlockBytes > kChip2FirstBlock) {
        SelectChipForBlock(kChip2FirstBlock);
        if (EraseChip() != 0) return EraseFailed("chip2 erase error!");
    } else {
        // No second chip to erase: what reads through its selection must already be blank.
        ReadBlockPages(kChip2FirstBlock, 128);
        if (ClassifyHeader() != HeaderBlank) return EraseFailed("chip2 erase error!");
    }
    if (reportOk) LogLine("Erase All Data Ok");
    return true;
}

void TForm1::WriteClick() {
    if (!FindLink()) return;
    if (!SelectImageFile(false, true)) return;
    if (!ImageFitsCart(0)) {
        CloseImageFile();
        return;
    }
    if (!EraseAllChips(false)) {
        CloseImageFile();
        return;
    }
    Label2->setText(QStringLiteral("Transfering File..."));
    if (TransferImage(false, 0)) {
        LogLine("File Transfer Completed");
    } else {
        ProgressBar1->setValue(0);
        LogLine("File Transfer Abort!!!");
    }
    CloseImageFile();
    if (SelectImageFile(true, true)) VerifyImage(0);
    EndOperation();
    PumpMessages();
}

void TForm1::VerifyClick() {
    if (!FindLink()) return;
    if (!SelectImageFile(false, true)) return;
    VerifyImage(0);
}
