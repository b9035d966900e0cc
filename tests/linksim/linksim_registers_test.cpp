// The linker's registers, address latch, chip enables and auto-increment, reached through EPP
// cycles and through the same cycles played on a standard port.
#include <gtest/gtest.h>

#include "tests/linksim/bus.h"
#include "tests/support/recording_port.h"

namespace {

using simtest::Bus;
using testsupport::SimulatedLink;

class BothModes : public ::testing::TestWithParam<bool> {
  protected:
    linksim::Options Opts() const {
        linksim::Options o;
        o.spp = GetParam();
        return o;
    }
    Bus bus{GetParam(), 0x378};
};

INSTANTIATE_TEST_SUITE_P(Cycles, BothModes, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Spp" : "Epp"; });

TEST_P(BothModes, RegistersZeroAndOneEchoAndRegisterTwoAnswersTheTestAddress) {
    SimulatedLink link(Opts());
    bus.SetReg(0, 0x34);
    bus.SetReg(1, 0x12);
    bus.SetReg(2, 0x88);
    EXPECT_EQ(bus.GetReg(1), 0x12);
    EXPECT_EQ(bus.GetReg(0), 0x34);
    EXPECT_EQ(bus.GetReg(2), 0x7E);
}

struct LatchCase {
    std::uint32_t addr;
    std::uint8_t reg2;
    std::uint32_t latched;
};

TEST_P(BothModes, AddressLatch) {
    const LatchCase cases[] = {
        {0x1F0000, 0xBC, 0x1F0000},
        {0x3FFFFF, 0xBC, 0x1FFFFF},  // bit 21 is not wired: chip
                                     // selection picks the chip
        {0x005555, 0x00, 0x005555},
        {0x010000, 0x04, 0x010000},
        {0x100000, 0x80, 0x100000},
        {0x0F1234, 0x3C, 0x0F1234},
    };
    SimulatedLink link(Opts());
    for (const LatchCase& c : cases) {
        SCOPED_TRACE(c.addr);
        EXPECT_EQ(Bus::High(c.addr, false), c.reg2);
        bus.Latch(c.addr);
        EXPECT_EQ(link.device().LatchedAddress(), c.latched);
    }
}

// Each chip enable byte, in the windowed program's form and in the console tool's.
struct EnableCase {
    std::uint8_t enables;
    std::uint8_t expect;  // byte read at address 0x10
};

TEST_P(BothModes, ChipEnablesThroughRegisterThree) {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, 0xFF);
    cart[0x10] = 0x11;
    cart[0x200010] = 0x22;
    SimulatedLink link(Opts(), linksim::MakeMemoryStore(std::move(cart)));
    const EnableCase cases[] = {
        {0x02, 0x11}, {0x01, 0x22}, {0xFE, 0x11}, {0xFD, 0x22}, {0xFF, 0xFF}, {0x03, 0xFF},
    };
    for (const EnableCase& c : cases) {
        SCOPED_TRACE(c.enables);
        bus.Enable(c.enables);
        EXPECT_EQ(bus.ReadAt(0x10), c.expect);
    }
}

TEST_P(BothModes, WriteToRegisterThreeIsFlashDataUnlessRegisterTwoHoldsTwo) {
    SimulatedLink link(Opts());
    bus.Enable(0x02);
    bus.SetReg(2, 0x03);  // chip-select access plus auto-increment is not the enable window
    bus.SetReg(3, 0xFD);
    EXPECT_EQ(link.device().stats().flash_writes, 1u);
    bus.SetReg(2, 0x00);
    bus.Reset();
    EXPECT_EQ(bus.ReadAt(0), 0xFF);  // chip 1 still enabled
}

TEST_P(BothModes, AutoIncrementStreamsA256ByteRun) {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, 0xFF);
    for (int i = 0; i < 256; ++i) cart[0x1FFF00 + i] = static_cast<std::uint8_t>(i ^ 0x5A);
    SimulatedLink link(Opts(), linksim::MakeMemoryStore(std::move(cart)));
    bus.Enable(0x02);
    bus.Latch(0x1FFF00, true);
    bus.Select(3);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(bus.Read(), (i ^ 0x5A)) << i;
    // Without the bit, reads stay put.
    bus.Latch(0x1FFF05, false);
    bus.Select(3);
    EXPECT_EQ(bus.Read(), 0x05 ^ 0x5A);
    EXPECT_EQ(bus.Read(), 0x05 ^ 0x5A);
}

TEST(SppLines, ByteComesBackInTwoNibblesOnStatusBitsThreeToSix) {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, 0xFF);
    cart[0x40] = 0x87;
    linksim::Options o;
    o.spp = true;
    SimulatedLink link(o, linksim::MakeMemoryStore(std::move(cart)));
    Bus bus{true, 0x378};
    bus.Enable(0x02);
    bus.Latch(0x40);
    bus.Select(3);
    PortWrite(0x37A, 0x02);
    EXPECT_EQ(PortRead(0x379) & 0x78, 0x38);
    PortWrite(0x37A, 0x06);
    EXPECT_EQ(PortRead(0x379) & 0x78, 0x40);
    PortWrite(0x37A, 0x00);
}

TEST(SppLines, OneBusReadPerDataStrobeHoweverManyNibbleReads) {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, 0xFF);
    cart[0] = 0x12;
    cart[1] = 0x34;
    linksim::Options o;
    o.spp = true;
    SimulatedLink link(o, linksim::MakeMemoryStore(std::move(cart)));
    Bus bus{true, 0x378};
    bus.Enable(0x02);
    bus.Latch(0, true);
    bus.Select(3);
    std::uint64_t before = link.device().stats().data_reads;
    PortWrite(0x37A, 0x02);
    for (int i = 0; i < 5; ++i) EXPECT_EQ((PortRead(0x379) >> 3) & 0x0F, 0x2);
    PortWrite(0x37A, 0x06);
    for (int i = 0; i < 5; ++i) EXPECT_EQ((PortRead(0x379) >> 3) & 0x0F, 0x1);
    PortWrite(0x37A, 0x04);  // nInit stays high, strobe released: no new cycle
    PortWrite(0x37A, 0x00);
    EXPECT_EQ(link.device().stats().data_reads, before + 1);
    EXPECT_EQ(bus.Read(), 0x34);  // the next strobe reads the incremented address
}

TEST(SppLines, EppRegistersAreDeadOnAStandardPort) {
    linksim::Options o;
    o.spp = true;
    SimulatedLink link(o);
    Bus epp{false, 0x378};
    epp.SetReg(1, 0x12);
    EXPECT_EQ(epp.GetReg(1), 0xFF);
    EXPECT_EQ(link.device().stats().address_cycles, 0u);
}

struct SilentCase {
    const char* name;
    linksim::Options opts;
    std::uint16_t base;
};

TEST(NothingAnswers, LinkTestValuesDoNotEcho) {
    linksim::Options nolinker;
    nolinker.nolinker = true;
    linksim::Options other_base;
    other_base.base = 0x278;
    const SilentCase cases[] = {
        {"nolinker", nolinker, 0x378},
        {"linker at another base", other_base, 0x378},
    };
    for (const SilentCase& c : cases) {
        for (bool spp : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (spp ? " spp" : " epp"));
            SimulatedLink link(c.opts);
            Bus bus{spp, c.base};
            bus.SetReg(1, 0x12);
            bus.SetReg(0, 0x34);
            EXPECT_EQ(bus.GetReg(1), 0xFF);
            EXPECT_EQ(bus.GetReg(0), 0xFF);
        }
    }
}

TEST(NothingAnswers, UnplugAfterSilencesTheLinkerAfterNAccesses) {
    linksim::Options o;
    o.unplug_after = 4;
    SimulatedLink link(o);
    Bus bus{false, 0x378};
    bus.SetReg(0, 0x34);             // accesses 1, 2
    EXPECT_EQ(bus.GetReg(0), 0x34);  // 3, 4
    EXPECT_EQ(bus.GetReg(0), 0xFF);  // 5, 6: gone
    EXPECT_EQ(PortRead(0x379) & 0x01, 0x01) << "EPP time-out flag";
    PortWrite(0x379, 0x01);
    EXPECT_EQ(PortRead(0x379) & 0x01, 0x00) << "cleared by writing 1";
}

TEST(NothingAnswers, NoCartridgeReadsZero) {
    linksim::Options o;
    o.nocart = true;
    SimulatedLink link(o);
    Bus bus{false, 0x378};
    bus.Enable(0x02);
    bus.Command(0x90);
    for (std::uint32_t a = 0; a < 4; ++a) EXPECT_EQ(bus.ReadAt(a), 0x00);
    bus.SetReg(1, 0x56);
    EXPECT_EQ(bus.GetReg(1), 0x56) << "the linker itself still answers";
}

}  // namespace
