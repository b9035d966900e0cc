#include <cstdio>

#include "tidewick/input_file.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

// No cartridge is larger; a longer file is not even read.
constexpr std::uint64_t kLargestCartridge = 0x400000;

}  // namespace

void PrintProgress(const char* format, std::uint32_t offset, std::uint32_t divisor) {
    std::printf(format, offset, ProgressPercent(offset, divisor));
    // The line has no newline; without this a terminal would show it only now and then.
    std::fflush(stdout);
}

int ReportLinkLost(std::uint32_t offset) {
    std::printf("\rFlash Linker stopped answering at 0x%06X!\n", offset);
    return Failed();
}

int LoadFileArgument(const char* cant_open, std::vector<std::uint8_t>* bytes, std::uint64_t* size) {
    const InputRead read = FileArgument != nullptr
                               ? ReadInputFile(FileArgument, kLargestCartridge, bytes, size)
                               : InputRead::CantOpen;
    switch (read) {
        case InputRead::Done:
        case InputRead::TooLarge:
            return 0;
        case InputRead::CantOpen:
            std::printf("%s", cant_open);
            return Failed();
        case InputRead::NotRegular:
            std::printf("%sNot a regular file.\n", cant_open);
            return Failed();
        case InputRead::ReadError:
            std::printf("\rFile read error at 0x%06X!\n", static_cast<unsigned>(*size));
            return Failed();
    }
    return Failed();
}

int CheckFileFits(std::uint64_t size, std::uint32_t offset) {
    const std::uint32_t cartridge = MeasureCartridgeSize();
    if (CheckLinker() != 0) return ReportLinkLost(offset);
    if (size <= cartridge) return 0;
    std::printf("\rFile is larger than the cartridge (0x%06llX > 0x%06X bytes)!\n",
                static_cast<unsigned long long>(size), cartridge);
    return Failed();
}

int CheckFileUnchanged(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> now;
    std::uint64_t size = 0;
    if (ReadInputFile(FileArgument, kLargestCartridge, &now, &size) == InputRead::Done &&
        now == bytes) {
        return 0;
    }
    std::printf("\rFile changed while it was in use!\n");
    return Failed();
}

}  // namespace tidewick
