#include <algorithm>
#include <cstdio>
#include <vector>

#include "tidewick/console.h"
#include "tidewick/header.h"
#include "tidewick/interruption.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/progress.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

// The smallest cartridge; an image beyond it is measured again after its first 256 bytes.
constexpr std::uint64_t kSmallestCartridge = 0x100000;

bool HeaderIsValid(const std::vector<std::uint8_t>& image) {
    const std::size_t n = std::min<std::size_t>(image.size(), kMarkerLength);
    return IsValidHeaderHash(HeaderHash(std::span(image.data() + kMarkerOffset, n)));
}

// IdCode and IdSubCode of the file against the cartridge's, pair by pair, stopping at the
// first difference. A file too short to hold them never matches.
bool CartridgeIdMatches(const std::vector<std::uint8_t>& image) {
    SetAddress(kIdCodeOffset, true);
    for (std::uint32_t i = 0; i < kIdBytes; ++i) {
        const std::uint32_t at = kIdCodeOffset + i;
        const int d = at < image.size() ? image[at] : EOF;
        if (ReadData() != d) return false;
    }
    return true;
}

}  // namespace

int FlashFile() {
    std::vector<std::uint8_t> image;
    std::uint64_t length = 0;
    if (LoadFileArgument("Can't open file to flash!\n", &image, &length) != 0) return 1;
    ResetChips();
    // Before anything is erased: an image past the cartridge's end would program its first
    // bytes again through the mirror, or start commands on the chip.
    if (CheckFileFits(length, 0) != 0) return 1;

    bool erase = true;
    if (!YesToAll) {
        if (!HeaderIsValid(image)) {
            const bool go_on = Ask("Invalid header found, continue?\n");
            if (Interrupted()) return ReportInterruption();
            if (!go_on) return Failed();
        }
        if (CartridgeIdMatches(image)) {
            erase = Ask("Cartridge ID matches with file, erase first?\n");
            if (Interrupted()) return ReportInterruption();
        }
    }
    if (erase) {
        std::printf("Erasing...\n");
        unsigned chip = 0;
        if (EraseBothChips(&chip) != 0) {
            if (CheckLinker() != 0) return ReportLinkLost(chip == 2 ? kChip2Base : 0);
            std::printf("\rErase error: chip %u did not finish erasing!\n", chip);
            return Failed();
        }
    }

    const auto size = static_cast<std::uint32_t>(image.size());
    const std::uint32_t divisor = ProgressDivisor(size);
    ResetChips();
    bool in_sequence = false;
    for (std::uint32_t offset = 0;; ++offset) {
        if (offset % kProgressStep == 0) {
            if (Interrupted()) return ReportInterruption();
            if (offset != 0 && offset < size && offset % kLinkCheckStep == 0 &&
                CheckLinker() != 0) {
                return ReportLinkLost(offset);
            }
            // A blank cartridge cannot be measured before the erase; with the image's header
            // on it now, the mirror test can tell its size.
            if (offset == kProgressStep && size > kSmallestCartridge &&
                CheckFileFits(size, offset) != 0) {
                return 1;
            }
            SetAddress(offset, true);
            PrintProgress("\rProgramming... 0x%06X (%d%%)", offset, divisor);
            in_sequence = true;
        }
        const int d = offset < size ? image[offset] : EOF;
        // Bytes the cartridge already holds are skipped while the linker reads in sequence;
        // programming a byte ends the sequence until the next block.
        if (in_sequence && ReadData() == d) continue;
        if (d == 0xFF) continue;  // the erased value is never programmed
        if (d == EOF) break;
        in_sequence = false;
        const auto value = static_cast<std::uint8_t>(d);
        if (FlashByte(offset, value, 3) != 0) {
            SetAddress(offset, false);
            const std::uint8_t r = ReadData();
            if (CheckLinker() != 0) return ReportLinkLost(offset);
            std::printf("\rProgram error at 0x%06X (w:0x%02X, r:0x%02X)!\n", offset,
                        static_cast<unsigned>(value), static_cast<unsigned>(r));
            return 1;
        }
    }
    if (CheckLinker() != 0) return ReportLinkLost(size);
    if (CheckFileUnchanged(image) != 0) return 1;
    std::printf("\n");
    return 0;
}

}  // namespace tidewick
