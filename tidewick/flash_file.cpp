#include <array>
#include <cstdio>

#include "tidewick/console.h"
#include "tidewick/header.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

int Fail(std::FILE* file) {
    std::fclose(file);
    ErrorOccurred = true;
    return 1;
}

bool HeaderIsValid(std::FILE* file) {
    std::array<std::uint8_t, kMarkerLength> marker{};
    std::size_t n = 0;
    std::fseek(file, kMarkerOffset, SEEK_SET);
    for (int c; n < marker.size() && (c = std::fgetc(file)) != EOF; ++n) {
        marker[n] = static_cast<std::uint8_t>(c);
    }
    return IsValidHeaderHash(HeaderHash(std::span(marker.data(), n)));
}

// IdCode and IdSubCode of the file against the cartridge's, pair by pair, stopping at the
// first difference. A file too short to hold them never matches.
bool CartridgeIdMatches(std::FILE* file) {
    std::fseek(file, kIdCodeOffset, SEEK_SET);
    SetAddress(kIdCodeOffset, true);
    for (std::uint32_t i = 0; i < kIdBytes; ++i) {
        int d = std::fgetc(file);
        if (ReadData() != d) return false;
    }
    return true;
}

}  // namespace

int FlashFile() {
    std::FILE* file = FileArgument != nullptr ? std::fopen(FileArgument, "rb") : nullptr;
    if (file == nullptr) {
        std::printf("Can't open file to flash!\n");
        ErrorOccurred = true;
        return 1;
    }
    ResetChips();

    bool erase = true;
    if (!YesToAll) {
        if (!HeaderIsValid(file) && !Ask("Invalid header found, continue?\n")) return Fail(file);
        if (CartridgeIdMatches(file)) erase = Ask("Cartridge ID matches with file, erase first?\n");
    }
    if (erase) {
        std::printf("Erasing...\n");
        unsigned chip = 0;
        if (EraseBothChips(&chip) != 0) {
            std::printf("\rErase error: chip %u did not finish erasing!\n", chip);
            return Fail(file);
        }
    }

    const std::uint32_t divisor = ProgressDivisor(FileLength(file));
    ResetChips();
    std::rewind(file);
    bool in_sequence = false;
    for (std::uint32_t offset = 0;; ++offset) {
        if (offset % kProgressStep == 0) {
            SetAddress(offset, true);
            PrintProgress("\rProgramming... 0x%06X (%d%%)", offset, divisor);
            in_sequence = true;
        }
        int d = std::fgetc(file);
        // Bytes the cartridge already holds are skipped while the linker reads in sequence;
        // programming a byte ends the sequence until the next block.
        if (in_sequence && ReadData() == d) continue;
        if (d == 0xFF) continue;  // the erased value is never programmed
        if (d == EOF) {
            if (ReportReadError(file, offset)) return 1;
            break;
        }
        in_sequence = false;
        const auto value = static_cast<std::uint8_t>(d);
        if (FlashByte(offset, value, 3) != 0) {
            SetAddress(offset, false);
            std::printf("\rProgram error at 0x%06X (w:0x%02X, r:0x%02X)!\n", offset,
                        static_cast<unsigned>(value), static_cast<unsigned>(ReadData()));
            return Fail(file);
        }
    }
    std::printf("\n");
    std::fclose(file);
    return 0;
}

}  // namespace tidewick
