// Block reads, verification and programming through the shared block buffer.
#include <cstdio>

#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"

std::array<std::uint8_t, kBlockBytes> BlockBuffer;

namespace {

constexpr std::uint32_t kPumpSkipMask = 0x1FFF;  // no pump at offsets 0, 0x2000, 0x4000, 0x6000
constexpr std::uint8_t kDataRegister = 3;

// The buffer holds 128 pages; a larger count must not run past it.
std::uint32_t PagesInBuffer(std::uint8_t pages) {
    return pages < kBlockBytes / kPageBytes ? pages : kBlockBytes / kPageBytes;
}

std::uint32_t PageAddress(std::uint32_t block, std::uint32_t page) {
    return (block << 15) | (page << 8);
}

// Latches the page with auto-increment on and turns the bus around for reading register 3.
void StartPageRead(std::uint32_t addr) {
    SetWriteDirection();
    SetCartReadAddress(addr);
    SelectLinkerRegister(kDataRegister);
    SetReadDirection();
}

// Reads byte `i` of the page at `page_addr` once more.
std::uint8_t RereadPageByte(std::uint32_t page_addr, std::uint8_t i) {
    SetWriteDirection();
    // The page was read whole, which advanced the linker's address into the next page, and
    // possibly the next 64 KB region, so rewriting register 0 alone would read the wrong byte.
    WriteLinkerRegister(2, LinkState.RegisterRecord[2]);
    WriteLinkerRegister(1, static_cast<std::uint8_t>((page_addr >> 8) & 0xFF));
    WriteLinkerRegister(0, i);
    SelectLinkerRegister(kDataRegister);
    SetReadDirection();
    return ReadLinkerByte();
}

}  // namespace

void ResetBlockState() {
    BlockBuffer.fill(0);
    SetProgramPump(nullptr);
    EraseReadLimit = 0x7FFFFFF;
}

void ReadBlockPages(std::uint32_t block, std::uint8_t pages) {
    SelectChipForBlock(block);
    const std::uint32_t count = PagesInBuffer(pages);
    for (std::uint32_t p = 0; p < count; ++p) {
        StartPageRead(PageAddress(block, p));
        ReadLinkerBytes(BlockBuffer.data() + p * kPageBytes, kPageBytes);
    }
}

std::int32_t VerifyBlockPages(std::uint32_t block, std::uint8_t pages) {
    SelectChipForBlock(block);
    FlashReset();
    const std::uint32_t count = PagesInBuffer(pages);
    for (std::uint32_t p = 0; p < count; ++p) {
        const std::uint32_t page_addr = PageAddress(block, p);
        StartPageRead(page_addr);
        // The page is read whole, as one run, and then compared.
        std::array<std::uint8_t, kPageBytes> page;
        ReadLinkerBytes(page.data(), page.size());
        const std::uint8_t* want = BlockBuffer.data() + p * kPageBytes;
        for (std::uint32_t i = 0; i < kPageBytes; ++i) {
            std::uint8_t x = page[i];
            if (x == want[i]) continue;
            // One second chance: a byte that reads right on the re-read counts as equal.
            x = RereadPageByte(page_addr, static_cast<std::uint8_t>(i));
            if (x == want[i]) continue;
            std::printf("\nerror at %lx!   file(%2x)   cart(%2x)\a\n",
                        static_cast<unsigned long>(page_addr + i), static_cast<unsigned>(want[i]),
                        static_cast<unsigned>(x));
            std::fflush(stdout);
            return -1;
        }
    }
    return 0;
}

std::int32_t ProgramBlock(std::uint32_t block) {
    SelectChipForBlock(block);
    const std::uint32_t addr = block << 15;
    for (std::uint32_t i = 0; i < kBlockBytes; ++i) {
        if ((i & kPumpSkipMask) != 0) RunProgramPump();
        const std::uint8_t v = BlockBuffer[i];
        if (v == 0xFF) continue;  // erased flash already holds it
        if (ProgramByte(addr + i, v) != 0) return -1;
    }
    return VerifyBlockPages(block, 1);
}
