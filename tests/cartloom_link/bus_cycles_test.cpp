// Exact port accesses of the bus cycles, address latches and chip selection.
#include <gtest/gtest.h>

#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"
#include "tests/cartloom_link/link_fixture.h"

namespace {

using linktest::kBase;
using testsupport::Access;
using testsupport::Describe;
using testsupport::R;
using testsupport::W;

constexpr std::uint16_t kData = kBase, kStatus = kBase + 1, kControl = kBase + 2,
                        kEppAddr = kBase + 3, kEppData = kBase + 4;

class BusCycles : public linktest::LinkTest {};

TEST_F(BusCycles, EachCycleInBothModes) {
    struct Case {
        bool spp;
        std::vector<Access> expected;
    };
    const Case cases[] = {
        {false, {W(kEppAddr, 2), W(kEppData, 0x5A), R(kEppData, 0xC3)}},
        {true,
         {W(kData, 2), W(kControl, 0x09), W(kControl, 0x01),                         // address
          W(kData, 0x5A), W(kControl, 0x03), W(kControl, 0x01),                      // data write
          W(kControl, 0x02), R(kStatus, 0x18), W(kControl, 0x06), R(kStatus, 0x60),  // read
          W(kControl, 0x00)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spp ? "SPP" : "EPP");
        linktest::ScriptedPort port;
        linktest::Bind(kBase, c.spp);
        if (c.spp) {
            port.port().QueueReads({0x18, 0x60});  // nibbles 3 and C
        } else {
            port.port().QueueReads({0xC3});
        }
        SelectLinkerRegister(2);
        WriteLinkerByte(0x5A);
        EXPECT_EQ(ReadLinkerByte(), 0xC3);
        EXPECT_EQ(Describe(port.port().log), Describe(c.expected));
    }
}

TEST_F(BusCycles, SppReadAssemblesNibblesFromStatusBits3To6) {
    struct Case {
        std::uint8_t low_status, high_status, result;
    };
    const Case cases[] = {
        {0x38, 0x40, 0x87}, {0x08, 0x00, 0x01}, {0x00, 0x40, 0x80},
        {0x78, 0x78, 0xFF}, {0x87, 0x87, 0x00},  // Busy, bits 0 to 2 and the EPP time-out flag are
                                                 // not data
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << int{c.low_status} << "/" << int{c.high_status});
        linktest::ScriptedPort port;
        linktest::Bind(kBase, true);
        port.port().QueueReads({c.low_status, c.high_status});
        EXPECT_EQ(ReadLinkerByte(), c.result);
    }
}

TEST_F(BusCycles, AddressLatchWritesRegister2OnlyWhenItChanges) {
    struct Case {
        std::uint8_t record2;
        bool read;
        std::uint32_t addr;
        std::vector<std::pair<int, int>> writes;
    };
    const Case cases[] = {
        {0x00, false, 0x3FFFFF, {{2, 0xBC}, {1, 0xFF}, {0, 0xFF}}},  // A20 to bit 7, A21 dropped
        {0x00, false, 0x1F0000, {{2, 0xBC}, {1, 0x00}, {0, 0x00}}},
        {0x00, false, 0x010000, {{2, 0x04}, {1, 0x00}, {0, 0x00}}},
        {0x00, false, 0x005555, {{1, 0x55}, {0, 0x55}}},
        {0x00, false, 0x205555, {{1, 0x55}, {0, 0x55}}},  // chip 2 is chosen by selection only
        {0x00, true, 0x000000, {{2, 0x01}, {1, 0x00}, {0, 0x00}}},
        {0x01, true, 0x000000, {{1, 0x00}, {0, 0x00}}},
        {0x01, false, 0x005555, {{2, 0x00}, {1, 0x55}, {0, 0x55}}},
        {0xBC, false, 0x1FABCD, {{1, 0xAB}, {0, 0xCD}}},
        {0xBC, true, 0x1FABCD, {{2, 0xBD}, {1, 0xAB}, {0, 0xCD}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.read ? "read " : "") << std::hex << c.addr
                                        << " after reg2=" << int{c.record2});
        linktest::ScriptedPort port;
        linktest::Bind(kBase, false);
        LinkState.RegisterRecord = {0x11, 0x22, c.record2, 0x33};
        if (c.read) {
            SetCartReadAddress(c.addr);
        } else {
            SetCartAddress(c.addr);
        }
        EXPECT_EQ(linktest::RegisterWrites(port.port().log), c.writes);
        EXPECT_EQ(port.port().log.size(), 2 * c.writes.size());  // nothing but the cycles
        EXPECT_EQ(LinkState.RegisterRecord[2],
                  c.writes.size() == 3 ? c.writes[0].second : c.record2);
        EXPECT_EQ(LinkState.RegisterRecord[1], (c.addr >> 8) & 0xFF);
        EXPECT_EQ(LinkState.RegisterRecord[0], c.addr & 0xFF);
    }
}

TEST_F(BusCycles, SelectChip1OpensChipSelectAccessAndClosesIt) {
    linktest::ScriptedPort port;
    linktest::Bind(kBase, false);
    SelectChip1();
    const std::vector<Access> expected = {W(kControl, 0x01), W(kEppAddr, 2),    W(kEppData, 0x02),
                                          W(kEppAddr, 3),    W(kEppData, 0x02), W(kEppAddr, 2),
                                          W(kEppData, 0x00)};
    EXPECT_EQ(Describe(port.port().log), Describe(expected));
    EXPECT_EQ(LinkState.RegisterRecord[2], 0x00);
}

TEST_F(BusCycles, ChipForBlockSwitchesAtBlock0x40) {
    const std::pair<std::uint32_t, int> cases[] = {
        {0x00, 0x02}, {0x3F, 0x02}, {0x40, 0x01}, {0x7F, 0x01}};
    for (const auto& [block, enables] : cases) {
        SCOPED_TRACE(block);
        linktest::ScriptedPort port;
        linktest::Bind(kBase, false);
        SelectChipForBlock(block);
        const std::vector<std::pair<int, int>> expected = {{2, 0x02}, {3, enables}, {2, 0x00}};
        EXPECT_EQ(linktest::RegisterWrites(port.port().log), expected);
    }
}

TEST_F(BusCycles, PageReadLatchesOnceAndStreams256Bytes) {
    linktest::ScriptedPort port;
    linktest::Bind(kBase, false);
    ReadBlockPages(3, 1);  // block 3 starts at 0x18000: register 2 = A16 in bit 2 | auto-increment
    std::vector<Access> expected = {
        W(kControl, 0x01), W(kEppAddr, 2),    W(kEppData, 0x02), W(kEppAddr, 3),
        W(kEppData, 0x02), W(kEppAddr, 2),    W(kEppData, 0x00),  // chip 1
        W(kControl, 0x01),                                        // write direction
        W(kEppAddr, 2),    W(kEppData, 0x05), W(kEppAddr, 1),    W(kEppData, 0x80),
        W(kEppAddr, 0),    W(kEppData, 0x00),   // latch 0x18000, auto-increment
        W(kEppAddr, 3),    W(kControl, 0x00)};  // data register, read direction
    for (int i = 0; i < 256; ++i) expected.push_back(R(kEppData, 0xFF));
    EXPECT_EQ(Describe(port.port().log), Describe(expected));
}

}  // namespace
