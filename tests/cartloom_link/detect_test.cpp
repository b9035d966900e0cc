// Cartridge detection and the size it records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "tests/cartloom_link/link_fixture.h"

namespace {

using linktest::kBase;

class Detection : public linktest::LinkTest {};

TEST_F(Detection, SizeFollowsTheChipsThatAnswer) {
    struct Case {
        const char* name;
        std::uint32_t cart_bytes;  // 0: no cartridge
        bool nolinker;
        std::uint8_t result;
        std::uint32_t size;
    };
    const Case cases[] = {
        {"32 Mbit", 0x400000, false, 0x20, 0x400000}, {"16 Mbit", 0x200000, false, 0x10, 0x200000},
        {"8 Mbit", 0x100000, false, 0x10, 0x200000},  {"no cartridge", 0, false, 0x00, 0},
        {"no linker", 0x400000, true, 0x00, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CartSize = 0;
        linksim::Options options;
        options.nocart = c.cart_bytes == 0;
        options.nolinker = c.nolinker;
        testsupport::SimulatedLink link(
            options, c.cart_bytes ? linksim::MakeMemoryStore(c.cart_bytes) : nullptr);
        linktest::Bind(kBase, false);
        EXPECT_EQ(DetectCart(), c.result);
        EXPECT_EQ(CartSize, c.size);
    }
}

TEST_F(Detection, RemovedCartridgeKeepsTheLastSize) {
    {
        testsupport::SimulatedLink cart32;
        linktest::Bind(kBase, false);
        ASSERT_EQ(DetectCart(), 0x20);
    }
    linksim::Options empty;
    empty.nocart = true;
    testsupport::SimulatedLink removed(empty);
    EXPECT_EQ(DetectCart(), 0x00);
    EXPECT_EQ(CartSize, 0x400000u);
}

TEST_F(Detection, SilentChip1EndsDetectionWithoutProbingChip2) {
    testsupport::SimulatedLink link;
    linktest::Bind(kBase, false);
    link.port().QueueReads({0x00, 0x00, 0x00, 0x00});  // chip 1's ID reads
    EXPECT_EQ(DetectCart(), 0x00);
    EXPECT_EQ(CartSize, 0u);
    const auto writes = linktest::RegisterWrites(link.port().log);
    EXPECT_EQ(std::count(writes.begin(), writes.end(), std::pair<int, int>{3, 0x01}), 0);
    EXPECT_EQ(std::count(writes.begin(), writes.end(), std::pair<int, int>{3, 0x02}), 1);
}

TEST_F(Detection, LaterBlockReadSelectsChip1Again) {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, 0x11);
    std::fill(cart.begin() + 0x200000, cart.end(), 0x22);
    testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(cart));
    linktest::Bind(kBase, false);
    ASSERT_EQ(DetectCart(), 0x20);
    ReadBlockPages(0, 1);
    EXPECT_TRUE(std::all_of(BlockBuffer.begin(), BlockBuffer.begin() + 256,
                            [](std::uint8_t v) { return v == 0x11; }));
}

}  // namespace
