// Flash commands against scripted reads and the simulated cartridge: identification, status
// polling limits, byte program retries and erase.
#include <gtest/gtest.h>

#include <algorithm>

#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"
#include "tests/cartloom_link/link_fixture.h"

namespace {

using linktest::kBase;
using testsupport::Access;
using testsupport::W;

constexpr std::uint16_t kControl = kBase + 2, kEppAddr = kBase + 3, kEppData = kBase + 4;

class FlashCommands : public linktest::LinkTest {};

std::size_t DataReads(const std::vector<Access>& log) {
    return static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [](const Access& a) { return !a.write && a.port == kEppData; }));
}

void Queue(testsupport::RecordingPort& port, const std::vector<std::uint8_t>& reads) {
    for (std::uint8_t v : reads) port.QueueReads({v});
}

std::vector<std::uint8_t> Repeat(std::uint8_t v, std::size_t n, std::vector<std::uint8_t> then) {
    std::vector<std::uint8_t> out(n, v);
    out.insert(out.end(), then.begin(), then.end());
    return out;
}

TEST_F(FlashCommands, IdAcceptance) {
    struct Case {
        std::vector<std::uint8_t> id;
        std::uint8_t result;
    };
    const Case cases[] = {
        {{0xD0, 0x2C, 0x01, 0x80}, 0x00}, {{0x98, 0x00, 0x01, 0x80}, 0x00},  // id1 is not examined
        {{0x98, 0xFF, 0x01, 0x80}, 0x00}, {{0x90, 0x2C, 0x01, 0xFF}, 0x00},
        {{0xEC, 0x2C, 0x01, 0x80}, 0xFF},  // bit 4 clear
        {{0x60, 0x2C, 0x01, 0x80}, 0xFF},  // bit 7 clear
        {{0xD0, 0x2C, 0x02, 0x80}, 0xFF}, {{0xD0, 0x2C, 0x01, 0x7F}, 0xFF},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFF},  // nothing driving the bus
        {{0x00, 0x00, 0x00, 0x00}, 0xFF},  // linker without cartridge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.id));
        testsupport::SimulatedLink link;
        linktest::Bind(kBase, false);
        Queue(link.port(), c.id);
        EXPECT_EQ(CheckFlashId(), c.result);
        EXPECT_EQ(DataReads(link.port().log), 4u);
    }
}

TEST_F(FlashCommands, IdCheckOnTheCartridgeLeavesItInReadMode) {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, 0x5A);
    testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(cart));
    linktest::Bind(kBase, false);
    SelectChip1();
    EXPECT_EQ(CheckFlashId(), 0);
    EXPECT_EQ(link.device().stats().resets, 4u);  // three before, one after
    ReadBlockPages(0, 1);
    EXPECT_EQ(BlockBuffer[0], 0x5A);
    EXPECT_EQ(BlockBuffer[2], 0x5A);
}

TEST_F(FlashCommands, DataPollFinishesWhenDq7MatchesWithin32768Reads) {
    struct Case {
        const char* name;
        std::uint8_t data;
        std::vector<std::uint8_t> reads;
        std::uint8_t result;
        std::size_t reads_used;
    };
    const Case cases[] = {
        {"bit 7 set, done at once", 0x80, {0x80}, 0, 1},
        {"bit 7 set, done on the third read", 0x80, {0x00, 0x7F, 0xC0}, 0, 3},
        {"bit 7 clear, done when it reads clear", 0x00, {0x80, 0xFF, 0x7F}, 0, 3},
        {"only bit 7 counts", 0x35, {0xB5, 0x4A}, 0, 2},
        {"done on the last allowed read", 0x80, Repeat(0x00, 32767, {0x80}), 0, 32768},
        {"never done", 0x80, Repeat(0x00, 40000, {}), 1, 32768},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        linktest::ScriptedPort port;
        linktest::Bind(kBase, false);
        Queue(port.port(), c.reads);
        EXPECT_EQ(WaitDataPoll(c.data), c.result);
        const auto& log = port.port().log;
        EXPECT_EQ(DataReads(log), c.reads_used);
        // The program cycle's address stays latched: only register 3 and the read direction.
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], W(kEppAddr, 3));
        EXPECT_EQ(log[1], W(kControl, 0x00));
        EXPECT_EQ(log.size(), 2 + c.reads_used);
    }
}

TEST_F(FlashCommands, TogglePollFinishesOnTwoEqualDq6Reads) {
    struct Case {
        std::vector<std::uint8_t> reads;
        std::size_t reads_used;
    };
    const Case cases[] = {
        {{0x40, 0x40}, 2},
        {{0xBF, 0x80}, 2},  // DQ6 clear twice; other bits do not matter
        {{0x00, 0x40, 0x00, 0x00}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reads));
        linktest::ScriptedPort port;
        linktest::Bind(kBase, false);
        Queue(port.port(), c.reads);
        EXPECT_EQ(WaitToggleDone(), 0);
        EXPECT_EQ(DataReads(port.port().log), c.reads_used);
    }
}

TEST_F(FlashCommands, ProgramByteTriesFourTimesWithAResetBeforeEachRetry) {
    struct Case {
        const char* name;
        bool stuck;
        std::uint8_t result;
        std::uint64_t programs;
        std::uint64_t resets;
        std::uint8_t cell;
    };
    const Case cases[] = {
        {"programs", false, 0, 1, 0, 0x42},
        {"stuck byte", true, 1, 4, 3, 0xFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        linksim::Options options;
        if (c.stuck) options.stuck = 0x211234;
        testsupport::SimulatedLink link(options);
        link.port().set_recording(false);
        linktest::Bind(kBase, false);
        SelectChip2();
        EXPECT_EQ(ProgramByte(0x211234, 0x42), c.result);
        const linksim::Stats& stats = link.device().stats();
        EXPECT_EQ(stats.program_commands, c.programs);
        EXPECT_EQ(stats.resets, c.resets);
        EXPECT_EQ(link.device().Cart()[0x211234], c.cell);
        if (c.stuck) {
            EXPECT_EQ(stats.data_reads, 4u * 32768u);
        }
    }
}

TEST_F(FlashCommands, EraseClearsTheSelectedChipOrOneSector) {
    struct Case {
        const char* name;
        std::uint32_t block;  // selects the chip
        bool chip;
        std::uint32_t sector_addr;
        std::uint32_t first, last;
    };
    const Case cases[] = {
        {"chip 1", 0x00, true, 0, 0x000000, 0x1FFFFF},
        {"chip 2", 0x40, true, 0, 0x200000, 0x3FFFFF},
        {"64 KB sector", 0x00, false, 0x012345, 0x010000, 0x01FFFF},
        {"first 8 KB sector", 0x3F, false, 0x1F9000, 0x1F8000, 0x1F9FFF},
        {"top 16 KB sector of chip 2", 0x7F, false, 0x3FFFFF, 0x3FC000, 0x3FFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::SimulatedLink link({}, linktest::FilledCart(0x00));
        link.port().set_recording(false);
        linktest::Bind(kBase, false);
        SelectChipForBlock(c.block);
        EXPECT_EQ(c.chip ? EraseChip() : EraseSector(c.sector_addr), 0);
        const linksim::Stats& stats = link.device().stats();
        EXPECT_EQ(stats.chip_erases + stats.sector_erases, 1u);
        EXPECT_EQ(stats.erased.low, c.first);
        EXPECT_EQ(stats.erased.high, c.last);
        const std::uint8_t* cart = link.device().Cart();
        std::uint32_t wrong = 0;
        for (std::uint32_t a = 0; a < linksim::kMaxCartBytes; ++a) {
            bool inside = a >= c.first && a <= c.last;
            if (cart[a] != (inside ? 0xFF : 0x00)) ++wrong;
        }
        EXPECT_EQ(wrong, 0u);
    }
}

// The link's own sector map against what the simulated chip erases for the same address.
TEST_F(FlashCommands, SectorStartIsWhereTheChipsEraseBegins) {
    const std::uint32_t addresses[] = {0x000000, 0x00FFFF, 0x010000, 0x1EFFFF, 0x1F0000, 0x1F7FFF,
                                       0x1F8000, 0x1F9FFF, 0x1FA000, 0x1FBFFF, 0x1FC000, 0x1FFFFF,
                                       0x200000, 0x3EFFFF, 0x3F8000, 0x3FA123, 0x3FFFFF};
    testsupport::SimulatedLink link;
    link.port().set_recording(false);
    linktest::Bind(kBase, false);
    for (std::uint32_t addr : addresses) {
        SCOPED_TRACE(addr);
        SelectChipForBlock(addr / kBlockBytes);
        link.device().ResetStats();
        ASSERT_EQ(EraseSector(addr), 0);
        EXPECT_EQ(SectorStart(addr), link.device().stats().erased.low);
    }
}

TEST_F(FlashCommands, EraseThatNeverFinishesGivesUpAfterTheReadLimit) {
    linksim::Options options;
    options.erase_hang = true;
    testsupport::SimulatedLink link(options);
    link.port().set_recording(false);
    linktest::Bind(kBase, false);
    SelectChip1();
    link.device().ResetStats();
    EXPECT_EQ(EraseChip(), 1);
    EXPECT_EQ(link.device().stats().data_reads, 1u + 0x7FFFFFFu);
}

}  // namespace
