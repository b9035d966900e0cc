#include "cartloom/ops/image_header.h"

#include <algorithm>
#include <cstring>

#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/ops/link_check.h"
#include "cartloom/ops/text.h"
#include "cartloom/ops/window.h"

std::string CartTitle;
std::string CartCaption;
std::uint32_t DataBlocks = 0;

namespace {

constexpr std::size_t kMarkerBytes = 28;
constexpr std::size_t kColourOffset = 0x23;
constexpr std::size_t kTitleOffset = 0x24;
constexpr std::size_t kCartTitleBytes = 13;  // runs into the byte after the 12-byte field
constexpr std::size_t kFileTitleBytes = 12;
constexpr std::uint8_t kColourGame = 0x10;
constexpr const char* kMarkerWords[] = {"COPYRIGHT", "SNK", "LICENSED", "CORPORATION"};

// A probe succeeds when the block is erased or starts another game: the game ends before it.
bool ProbeBlock(std::uint32_t block) {
    ReadBlockPages(block, 128);
    return ClassifyHeader() != HeaderNone;
}

}  // namespace

void ResetHeaderState() {
    CartTitle.clear();
    CartCaption.clear();
    DataBlocks = 0;
}

int ClassifyHeader(std::size_t length) {
    length = std::min<std::size_t>(length, BlockBuffer.size());
    if (std::all_of(BlockBuffer.begin(), BlockBuffer.begin() + static_cast<std::ptrdiff_t>(length),
                    [](std::uint8_t b) { return b == 0xFF; })) {
        return HeaderBlank;
    }
    char text[kMarkerBytes + 1] = {};
    std::memcpy(text, BlockBuffer.data(), kMarkerBytes);
    for (const char* word : kMarkerWords) {
        if (std::strstr(text, word) != nullptr) return HeaderMarker;
    }
    return HeaderNone;
}

void DecodeCartHeader() {
    CartCaption = BlockBuffer[kColourOffset] == kColourGame ? "color \"" : "bw \"";
    char title[kCartTitleBytes + 1] = {};
    std::memcpy(title, BlockBuffer.data() + kTitleOffset, kCartTitleBytes);
    CartTitle = Latin1ToUtf8(title);  // up to the first 0 byte
    CartCaption += CartTitle + '"';
}

std::uint32_t ReadCartHeader() {
    SelectChip1();
    ReadBlockPages(0, 1);
    DecodeCartHeader();
    if (ClassifyHeader() != HeaderMarker) {
        // A silent linker reads as an erased cartridge: say which of the two it is.
        if (LinkStillAnswers()) LogLine("No NGPC Cart found!!!");
        return 0;
    }
    const std::uint32_t before = DataBlocks;
    DataBlocks = CartSize / kBlockBytes;
    // With no cartridge size known nothing is probed, and 0 is returned.
    if (DataBlocks >= 16 && ProbeBlock(16)) {
        DataBlocks = 16;
    } else if (DataBlocks >= 32 && ProbeBlock(32)) {
        DataBlocks = 32;
    } else if (DataBlocks > 64 && ProbeBlock(64)) {
        DataBlocks = 64;
    }
    // A probe that read a silent linker saw erased flash, which would make the game look small.
    if (!LinkStillAnswers()) {
        DataBlocks = before;
        return 0;
    }
    return DataBlocks;
}

void ShowFileHeader() {
    std::string name;
    for (std::size_t i = 0; i < kFileTitleBytes; ++i) {
        const std::uint8_t b = BlockBuffer[kTitleOffset + i];
        if (b != 0) name += static_cast<char>(b);  // a 0 byte adds nothing; the rest is shown
    }
    LogLine("Game Name : " + Latin1ToUtf8(name));
    LogLine(BlockBuffer[kColourOffset] == kColourGame ? "Version : Color" : "Version : B/W");
}
