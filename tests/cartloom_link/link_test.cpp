// The link test, port-mode detection and the choice of port base.
#include <gtest/gtest.h>

#include <algorithm>

#include "cartloom/link/bus.h"
#include "cartloom/link/link.h"
#include "tests/cartloom_link/link_fixture.h"

namespace {

using linktest::kBase;
using testsupport::Access;
using testsupport::Describe;
using testsupport::R;
using testsupport::W;

constexpr std::uint16_t kStatus = kBase + 1, kControl = kBase + 2, kEppAddr = kBase + 3,
                        kEppData = kBase + 4;

class LinkProbe : public linktest::LinkTest {};

bool Touches(const std::vector<Access>& log, std::uint16_t port) {
    return std::any_of(log.begin(), log.end(), [&](const Access& a) { return a.port == port; });
}

TEST_F(LinkProbe, PassingTestEchoesRegisters1And0ThenReleases) {
    testsupport::SimulatedLink link;
    linktest::Bind(kBase, false);
    LinkState.RegisterRecord[2] = 0x05;  // stale: the test must rewrite register 2 anyway
    EXPECT_EQ(TestLink(), 0);
    const std::vector<Access> expected = {
        W(kStatus, 0x01),                                                         // clear time-out
        W(kControl, 0x01), W(kEppAddr, 2), W(kEppData, 0x00),                     // register 2
        W(kControl, 0x01), W(kEppAddr, 1), W(kEppData, 0x12), W(kEppAddr, 0),     // 0x12, 0x34
        W(kEppData, 0x34), W(kEppAddr, 1), W(kControl, 0x00), R(kEppData, 0x12),  // read back
        W(kControl, 0x01), W(kEppAddr, 0), W(kControl, 0x00), R(kEppData, 0x34),
        W(kControl, 0x01), W(kEppAddr, 2), W(kEppData, 0x00), W(kControl, 0x04)};  // release
    EXPECT_EQ(Describe(link.port().log), Describe(expected));
    EXPECT_EQ(LinkState.RegisterRecord[2], 0x00);
}

TEST_F(LinkProbe, FailingTestStopsAtTheWrongByteAndLeavesControlAt0) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> reads;
        std::size_t accesses;
    };
    const Case cases[] = {
        {"register 1 wrong", {0xFF}, 12},
        {"register 0 wrong", {0x12, 0x35}, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        linktest::ScriptedPort port;
        linktest::Bind(kBase, false);
        for (std::uint8_t v : c.reads) port.port().QueueReads({v});
        EXPECT_EQ(TestLink(), 1);
        const auto& log = port.port().log;
        EXPECT_EQ(log.size(), c.accesses) << Describe(log);
        EXPECT_FALSE(log.back().write);
        auto last_control = std::find_if(log.rbegin(), log.rend(),
                                         [](const Access& a) { return a.port == kControl; });
        ASSERT_NE(last_control, log.rend());
        EXPECT_EQ(last_control->value, 0x00);
        EXPECT_FALSE(std::count(log.begin(), log.end(), W(kControl, 0x04)));
    }
}

TEST_F(LinkProbe, FindLinkChoosesBaseAndModeAndSetsCaptions) {
    struct Case {
        const char* name;
        linksim::Options options;
        bool found;
        std::uint16_t data_port;
        bool spp;
        const char* padr;
        const char* ptype;
    };
    auto opts = [](std::uint16_t base, bool spp, bool nolinker) {
        linksim::Options o;
        o.base = base;
        o.spp = spp;
        o.nolinker = nolinker;
        return o;
    };
    const Case cases[] = {
        {"EPP at 378", opts(0x378, false, false), true, 0x378, false, "378", "EPP"},
        {"EPP at 278", opts(0x278, false, false), true, 0x278, false, "278", "EPP"},
        {"SPP-only port at 378", opts(0x378, true, false), true, 0x378, true, "378", "SPP"},
        {"EPP-capable port at 3bc", opts(0x3BC, false, false), true, 0x3BC, true, "3bc", "SPP"},
        {"SPP-only port at 3bc", opts(0x3BC, true, false), true, 0x3BC, true, "3bc", "SPP"},
        {"no linker anywhere", opts(0x378, false, true), false, 0x3BC, true, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        captions.clear();
        testsupport::SimulatedLink link(c.options);
        EXPECT_EQ(FindLink(), c.found);
        EXPECT_EQ(LinkState.PortFound, c.found);
        EXPECT_EQ(LinkState.SppMode, c.spp);
        EXPECT_EQ(LinkState.DataPort, c.data_port);
        EXPECT_EQ(LinkState.StatusPort, c.data_port + 1);
        EXPECT_EQ(LinkState.EppDataPort, c.data_port + 4);
        EXPECT_EQ(captions[LinkLabel::padr], c.padr);
        EXPECT_EQ(captions[LinkLabel::ptype], c.ptype);
        if (c.found) {
            // A passing OpenLink leaves fsize to cartridge detection.
            captions.clear();
            EXPECT_TRUE(OpenLink(c.data_port));
            EXPECT_EQ(captions.count(LinkLabel::fsize), 0u);
        } else {
            EXPECT_EQ(captions[LinkLabel::fsize], "");
        }
        // EPP is never tried at 0x3BC.
        EXPECT_FALSE(Touches(link.port().log, 0x3BF));
        EXPECT_FALSE(Touches(link.port().log, 0x3C0));
    }
}

TEST_F(LinkProbe, StaysBoundToTheFirstBaseFound) {
    linksim::Options at278;
    at278.base = 0x278;
    testsupport::SimulatedLink first(at278);
    ASSERT_TRUE(FindLink());
    EXPECT_EQ(captions[LinkLabel::padr], "278");

    // The linker moves to the port at 0x378: only 0x278 is tried, again and again.
    testsupport::SimulatedLink moved;
    for (int call = 0; call < 2; ++call) {
        moved.port().log.clear();
        EXPECT_FALSE(FindLink());
        EXPECT_TRUE(LinkState.PortFound);
        EXPECT_EQ(LinkState.DataPort, 0x278);
        for (const Access& a : moved.port().log) {
            EXPECT_TRUE(a.port >= 0x278 && a.port <= 0x27C) << std::hex << a.port;
        }
        EXPECT_EQ(captions[LinkLabel::padr], "");
        EXPECT_EQ(captions[LinkLabel::ptype], "");
        EXPECT_EQ(captions[LinkLabel::fsize], "");
    }
}

TEST_F(LinkProbe, ModeIsDetectedAgainOnEveryCall) {
    {
        testsupport::SimulatedLink epp;
        ASSERT_TRUE(FindLink());
        EXPECT_EQ(captions[LinkLabel::ptype], "EPP");
    }
    linksim::Options spp;
    spp.spp = true;
    testsupport::SimulatedLink standard(spp);
    ASSERT_TRUE(FindLink());
    EXPECT_TRUE(LinkState.SppMode);
    EXPECT_EQ(captions[LinkLabel::ptype], "SPP");
}

TEST_F(LinkProbe, SppTestReadsTheLinkerThroughTheStatusNibbles) {
    linksim::Options spp;
    spp.spp = true;
    testsupport::SimulatedLink link(spp);
    linktest::Bind(kBase, true);
    EXPECT_EQ(TestLink(), 0);
    EXPECT_FALSE(Touches(link.port().log, kEppAddr));
    EXPECT_FALSE(Touches(link.port().log, kEppData));
    EXPECT_EQ(link.port().log.back(), W(kControl, 0x04));
}

}  // namespace
