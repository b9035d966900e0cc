// The flash chips behind the linker: identify, reset, program with its status bits, erase with
// the sector map, mirroring on smaller cartridges and a missing second chip.
#include <gtest/gtest.h>

#include "linksim/flash_chip.h"
#include "tests/linksim/bus.h"
#include "tests/support/recording_port.h"

namespace {

using simtest::Bus;
using testsupport::SimulatedLink;

std::unique_ptr<linksim::CartStore> Cart(std::uint32_t size, std::uint8_t fill = 0xFF) {
    return linksim::MakeMemoryStore(std::vector<std::uint8_t>(size, fill));
}

class Flash : public ::testing::TestWithParam<bool> {
  protected:
    Bus bus{GetParam(), 0x378};
    linksim::Options Opts() const {
        linksim::Options o;
        o.spp = GetParam();
        return o;
    }
};

INSTANTIATE_TEST_SUITE_P(Cycles, Flash, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Spp" : "Epp"; });

TEST_P(Flash, IdentifyThenResetOnBothChips) {
    SimulatedLink link(Opts(), Cart(linksim::kMaxCartBytes, 0x00));
    for (std::uint8_t chip : {std::uint8_t{0x02}, std::uint8_t{0x01}}) {
        bus.Enable(chip);
        bus.Reset();
        bus.Command(0x90);
        std::uint8_t id[4];
        for (std::uint32_t a = 0; a < 4; ++a) id[a] = bus.ReadAt(a);
        EXPECT_EQ(id[0] & 0x90, 0x90);
        EXPECT_NE(id[1], 0x00);
        EXPECT_EQ(id[2], 0x01);
        EXPECT_EQ(id[3] & 0x80, 0x80);
        bus.Reset();
        EXPECT_EQ(bus.ReadAt(1), 0x00) << "back to the array after reset";
    }
}

TEST_P(Flash, ProgramPollsDq7ComplementThenReadsTheByte) {
    linksim::Options o = Opts();
    o.program_reads = 3;
    for (std::uint8_t value : {std::uint8_t{0x80}, std::uint8_t{0x7F}, std::uint8_t{0x00}}) {
        SCOPED_TRACE(value);
        SimulatedLink link(o);
        bus.Enable(0x02);
        bus.Program(0x1234, value);
        bus.Select(3);
        std::uint8_t prev_dq6 = 0xFF;
        for (int i = 0; i < 3; ++i) {
            std::uint8_t s = bus.Read();
            EXPECT_EQ(s & 0x80, ~value & 0x80) << "busy read " << i;
            if (prev_dq6 != 0xFF) {
                EXPECT_NE(s & 0x40, prev_dq6) << "DQ6 toggles";
            }
            prev_dq6 = s & 0x40;
        }
        EXPECT_EQ(bus.Read(), value);
        EXPECT_EQ(link.device().Cart()[0x1234], value);
        EXPECT_EQ(link.device().stats().program_commands, 1u);
    }
}

TEST_P(Flash, ProgramNeedingAZeroToBecomeOneEndsWithDq5UntilReset) {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, 0xFF);
    cart[0x10] = 0x0F;
    SimulatedLink link(Opts(), linksim::MakeMemoryStore(std::move(cart)));
    bus.Enable(0x02);
    bus.Program(0x10, 0xF0);
    bus.Select(3);
    for (int i = 0; i < 50; ++i) {
        std::uint8_t s = bus.Read();
        ASSERT_EQ(s & 0xA0, 0x20) << "DQ5 set, DQ7 complemented, read " << i;
    }
    bus.Program(0x11, 0x00);  // ignored while the chip waits for its reset
    EXPECT_EQ(link.device().Cart()[0x11], 0xFF);
    bus.Reset();
    EXPECT_EQ(bus.ReadAt(0x10), 0x00) << "bits that could go to 0 did";
    EXPECT_EQ(link.device().stats().program_failures, 1u);
}

TEST_P(Flash, StuckByteNeverProgramsButItsNeighboursDo) {
    linksim::Options o = Opts();
    o.stuck = 0x212345;
    SimulatedLink link(o);
    bus.Enable(0x01);
    bus.Program(0x012345, 0x42);
    EXPECT_EQ(bus.WaitReady(0x012345, 1000), -1);
    EXPECT_EQ(bus.ReadAt(0x012345) & 0x20, 0x20);
    bus.Reset();
    bus.Program(0x012346, 0x42);
    EXPECT_GT(bus.WaitReady(0x012346), 0);
    EXPECT_EQ(link.device().Cart()[0x212345], 0xFF);
    EXPECT_EQ(link.device().Cart()[0x212346], 0x42);
}

TEST_P(Flash, ChipEraseTogglesDq6WithDq7LowThenSettles) {
    linksim::Options o = Opts();
    o.erase_reads = 20;
    SimulatedLink link(o, Cart(linksim::kMaxCartBytes, 0x00));
    bus.Enable(0x01);
    bus.EraseChip();
    bus.Select(3);
    std::uint8_t prev = bus.Read();
    EXPECT_EQ(prev & 0x80, 0x00);
    for (int i = 1; i < 20; ++i) {
        std::uint8_t s = bus.Read();
        ASSERT_EQ(s & 0x80, 0x00);
        ASSERT_NE(s & 0x40, prev & 0x40) << i;
        prev = s;
    }
    EXPECT_EQ(bus.Read(), 0xFF);
    EXPECT_EQ(bus.Read(), 0xFF);
    const std::uint8_t* cart = link.device().Cart();
    EXPECT_EQ(cart[0x1FFFFF], 0x00) << "chip 1 untouched";
    EXPECT_EQ(cart[0x200000], 0xFF);
    EXPECT_EQ(cart[0x3FFFFF], 0xFF);
    EXPECT_EQ(link.device().stats().chip_erases, 1u);
}

TEST_P(Flash, EraseHangNeverSettlesAndChangesNothing) {
    linksim::Options o = Opts();
    o.erase_hang = true;
    SimulatedLink link(o, Cart(linksim::kMaxCartBytes, 0x00));
    bus.Enable(0x02);
    bus.EraseChip();
    EXPECT_EQ(bus.WaitReady(0x5555, 5000), -1);
    EXPECT_EQ(link.device().Cart()[0], 0x00);
}

// The second erase clears its sector, then reports its time limit until a reset.
TEST_P(Flash, EraseTimeoutClearsTheCellsThenReportsDq5UntilReset) {
    linksim::Options o = Opts();
    o.erase_timeout = 2;
    SimulatedLink link(o, Cart(linksim::kMaxCartBytes, 0x00));
    bus.Enable(0x02);
    bus.EraseSector(0x010000);
    EXPECT_GT(bus.WaitReady(0x010000), 0);
    bus.EraseSector(0x020000);
    EXPECT_EQ(bus.WaitReady(0x020000, 5000), -1);
    EXPECT_EQ(bus.Read() & 0xA0, 0x20);  // DQ5 set, DQ7 low
    bus.Program(0x020000, 0x12);         // a chip past its time limit takes no command
    bus.Reset();
    bus.Program(0x020001, 0x34);
    EXPECT_GT(bus.WaitReady(0x020001), 0);
    const std::uint8_t* cart = link.device().Cart();
    EXPECT_EQ(cart[0x010000], 0xFF);
    EXPECT_EQ(cart[0x020000], 0xFF);
    EXPECT_EQ(cart[0x020001], 0x34);
    EXPECT_EQ(cart[0x02FFFF], 0xFF);
    EXPECT_EQ(cart[0x030000], 0x00);
    EXPECT_EQ(link.device().stats().sector_erases, 2u);
}

struct SectorCase {
    std::uint32_t addr;   // any address inside the sector
    std::uint32_t first;  // the sector's bounds
    std::uint32_t last;
};

TEST(FlashSectors, EraseClearsExactlyTheSectorOfTheMap) {
    const SectorCase cases[] = {
        {0x000000, 0x000000, 0x00FFFF}, {0x0ABCDE, 0x0A0000, 0x0AFFFF},
        {0x1EFFFF, 0x1E0000, 0x1EFFFF}, {0x1F0000, 0x1F0000, 0x1F7FFF},
        {0x1F7FFF, 0x1F0000, 0x1F7FFF}, {0x1F8000, 0x1F8000, 0x1F9FFF},
        {0x1FA123, 0x1FA000, 0x1FBFFF}, {0x1FC000, 0x1FC000, 0x1FFFFF},
        {0x1FFFFF, 0x1FC000, 0x1FFFFF},
    };
    for (const SectorCase& c : cases) {
        SCOPED_TRACE(c.addr);
        linksim::Sector s = linksim::SectorOf(c.addr);
        EXPECT_EQ(s.start, c.first);
        EXPECT_EQ(s.start + s.size - 1, c.last);

        SimulatedLink link({}, Cart(linksim::kMaxCartBytes, 0x00));
        Bus bus;
        bus.Enable(0x01);  // chip 2: cartridge offsets are 0x200000 higher
        bus.EraseSector(c.addr);
        ASSERT_GT(bus.WaitReady(c.addr), 0);
        const std::uint8_t* cart = link.device().Cart();
        std::uint32_t lo = 0x200000 + c.first, hi = 0x200000 + c.last;
        EXPECT_EQ(cart[lo], 0xFF);
        EXPECT_EQ(cart[hi], 0xFF);
        if (c.first > 0) {
            EXPECT_EQ(cart[lo - 1], 0x00);
        }
        if (c.last < 0x1FFFFF) {
            EXPECT_EQ(cart[hi + 1], 0x00);
        }
        EXPECT_EQ(cart[c.first], 0x00) << "chip 1 untouched";
        EXPECT_EQ(link.device().stats().erased.low, lo);
        EXPECT_EQ(link.device().stats().erased.high, hi);
    }
}

struct MirrorCase {
    std::uint32_t size;
    std::uint32_t mirror;  // where the first bytes appear again
};

TEST(SmallCartridges, RepeatTheirContentsAboveTheirSize) {
    for (MirrorCase c : {MirrorCase{0x100000, 0x100000}, MirrorCase{0x200000, 0x200000}}) {
        SCOPED_TRACE(c.size);
        std::vector<std::uint8_t> cart(c.size, 0xFF);
        cart[0] = 0xC0;
        cart[1] = 0xDE;
        SimulatedLink link({}, linksim::MakeMemoryStore(std::move(cart)));
        Bus bus;
        // The console tool reaches 0x200000 through chip 2's enable.
        bus.Enable(c.mirror >= 0x200000 ? 0xFD : 0xFE);
        bus.Latch(c.mirror & 0x1FFFFF, true);
        bus.Select(3);
        EXPECT_EQ(bus.Read(), 0xC0);
        EXPECT_EQ(bus.Read(), 0xDE);
    }
}

TEST(SmallCartridges, MissingSecondChipTakesNoCommandsAndFailsIdentification) {
    std::vector<std::uint8_t> cart(0x200000, 0x00);
    SimulatedLink link({}, linksim::MakeMemoryStore(std::move(cart)));
    Bus bus;
    bus.Enable(0x01);
    bus.Command(0x90);
    EXPECT_NE(bus.ReadAt(2), 0x01) << "no ID from a missing chip";
    bus.EraseChip();
    bus.Program(0x10, 0x00);
    EXPECT_EQ(link.device().stats().chip_erases, 0u);
    EXPECT_EQ(link.device().stats().program_commands, 0u);
    bus.Enable(0x02);
    bus.Command(0x90);
    EXPECT_EQ(bus.ReadAt(2), 0x01) << "chip 1 is there";
}

TEST(SmallCartridges, OneMegabyteChipProgramsAndErasesModuloItsSize) {
    SimulatedLink link({}, Cart(0x100000, 0x00));
    Bus bus;
    bus.Enable(0x02);
    bus.EraseSector(0x1F8000);  // the 8 KiB sector lands at 0x0F8000
    ASSERT_GT(bus.WaitReady(0x1F8000), 0);
    EXPECT_EQ(link.device().Cart()[0x0F8000], 0xFF);
    EXPECT_EQ(link.device().Cart()[0x0F7FFF], 0x00);
    EXPECT_EQ(link.device().Cart()[0x0FA000], 0x00);
}

}  // namespace

namespace {

// A program written only against PortRead/PortWrite identifies, erases, programs and reads back
// both chips of a 32 Mbit cartridge.
TEST_P(Flash, RoundTripOnBothChips) {
    linksim::Options o = Opts();
    SimulatedLink link(o, Cart(linksim::kMaxCartBytes, 0x00));
    link.port().set_recording(false);
    std::vector<std::uint8_t> expect(linksim::kMaxCartBytes, 0xFF);
    for (int chip = 0; chip < 2; ++chip) {
        bus.Enable(chip == 0 ? 0x02 : 0x01);
        bus.Reset();
        bus.Command(0x90);
        ASSERT_EQ(bus.ReadAt(2), 0x01);
        bus.Reset();
        bus.EraseChip();
        ASSERT_GT(bus.WaitReady(0x5555, 10000), 0);
        // One 32 KiB block at each end of the chip, with a pattern that leaves some bytes 0xFF.
        for (std::uint32_t start : {0x000000u, 0x1F8000u}) {
            for (std::uint32_t a = start; a < start + 0x8000; ++a) {
                auto v = static_cast<std::uint8_t>((a * 7 + chip) % 251);
                expect[chip * 0x200000 + a] = v;
                if (v == 0xFF) continue;
                bus.Program(a, v);
                ASSERT_GT(bus.WaitReady(a), 0) << a;
            }
        }
    }
    for (int chip = 0; chip < 2; ++chip) {
        bus.Enable(chip == 0 ? 0x02 : 0x01);
        for (std::uint32_t page = 0; page < 0x200000; page += 0x100) {
            bus.Latch(page, true);
            bus.Select(3);
            for (std::uint32_t i = 0; i < 0x100; ++i) {
                std::uint32_t cart = chip * 0x200000 + page + i;
                std::uint8_t v = bus.Read();
                if (v != expect[cart]) FAIL() << "at " << std::hex << cart;
            }
        }
    }
}

}  // namespace
