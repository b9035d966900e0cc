// The console link's port cycles and bounded waits, checked against a recording port in front
// of the simulated linker: what a whole-program run cannot see.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/support/recording_port.h"
#include "tidewick/link.h"
#include "tidewick/operations.h"
#include "tidewick/settings.h"

namespace {

using testsupport::Access;
using testsupport::R;
using testsupport::W;

constexpr std::uint16_t kBase = 0x378;

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tidewick::LinkerPort = kBase;
        tidewick::ErrorOccurred = false;
    }
    void TearDown() override { tidewick::EraseReadLimit = tidewick::kEraseReadLimit; }
};

std::vector<Access> SetAddressCycles(std::uint8_t low, std::uint8_t mid, std::uint8_t select,
                                     std::uint8_t high) {
    return {W(kBase + 2, 0x01),   W(kBase + 3, 0), W(kBase + 4, low),  W(kBase + 3, 1),
            W(kBase + 4, mid),    W(kBase + 3, 2), W(kBase + 4, 0x02), W(kBase + 3, 3),
            W(kBase + 4, select), W(kBase + 3, 2), W(kBase + 4, high), W(kBase + 3, 3)};
}

TEST_F(LinkTest, SetAddressWritesAllTwelveCyclesEveryTime) {
    struct Case {
        std::uint32_t address;
        bool sequential;
        std::vector<Access> cycles;
    };
    const Case cases[] = {
        {0x1FFFFF, false, SetAddressCycles(0xFF, 0xFF, 0xFE, 0xBC)},
        {0x1FFFFF, true, SetAddressCycles(0xFF, 0xFF, 0xFE, 0xBD)},
        {0x200000, false, SetAddressCycles(0x00, 0x00, 0xFD, 0x00)},
        {0x123456, false, SetAddressCycles(0x56, 0x34, 0xFE, 0x88)},
        // Past the second chip no enable is low.
        {0x400100, true, SetAddressCycles(0x00, 0x01, 0xFB, 0x01)},
        {0xFFFFFFFF, false, SetAddressCycles(0xFF, 0xFF, 0xFF, 0xBC)},
    };
    testsupport::SimulatedLink link;
    for (const Case& c : cases) {
        // The same address twice: nothing may be cached.
        for (int round = 0; round < 2; ++round) {
            link.port().log.clear();
            tidewick::SetAddress(c.address, c.sequential);
            EXPECT_EQ(link.port().log, c.cycles) << std::hex << c.address << " round " << round;
        }
    }
}

// A run gives the bytes n ReadData calls give, with the control register set once, as the
// repeated writes of the same value would leave every line where it is.
TEST_F(LinkTest, ReadDataRunReadsLikeReadDataWithOneControlWrite) {
    std::vector<std::uint8_t> cart(0x400000, 0xFF);
    for (std::size_t i = 0; i < 0x300; ++i) cart[0x1F00 + i] = static_cast<std::uint8_t>(i * 31);
    for (std::size_t n : {0, 1, 28, 256}) {
        SCOPED_TRACE(n);
        testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(cart));
        tidewick::SetAddress(0x1F40, true);
        std::vector<std::uint8_t> by_calls(n);
        for (std::uint8_t& b : by_calls) b = tidewick::ReadData();
        tidewick::SetAddress(0x1F40, true);
        link.port().log.clear();
        std::vector<std::uint8_t> by_run(n);
        tidewick::ReadDataRun(by_run.data(), n);
        EXPECT_EQ(by_run, by_calls);
        EXPECT_EQ(by_run, std::vector<std::uint8_t>(cart.begin() + 0x1F40,
                                                    cart.begin() + 0x1F40 + std::ptrdiff_t(n)));
        std::vector<Access> expected;
        if (n > 0) expected.push_back(W(kBase + 2, 0x00));
        for (std::size_t i = 0; i < n; ++i) expected.push_back(R(kBase + 4, by_calls[i]));
        EXPECT_EQ(link.port().log, expected);
    }
}

TEST_F(LinkTest, DetectLinkerAcceptsOnlyTheThreeReadBacks) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> reads;  // scripted answers of registers 0, 1, 2
        int result;
        std::size_t reads_made;
    };
    const Case cases[] = {
        {"linker answers", {}, 0, 3},
        {"nothing attached", {0xFF}, 1, 1},
        {"register 1 wrong", {0x56, 0x12}, 1, 2},
        {"echoes 0 and 1, not 0x7E", {0x56, 0x34, 0x88}, 1, 3},
    };
    for (const Case& c : cases) {
        testsupport::SimulatedLink link;
        tidewick::ErrorOccurred = false;
        for (std::uint8_t v : c.reads) link.port().QueueReads({v});
        EXPECT_EQ(tidewick::DetectLinker(), c.result) << c.name;
        EXPECT_EQ(tidewick::ErrorOccurred, c.result != 0) << c.name;
        std::size_t reads = 0;
        for (const Access& a : link.port().log) reads += a.write ? 0 : 1;
        EXPECT_EQ(reads, c.reads_made) << c.name;
        EXPECT_EQ(link.port().log.front(), W(kBase + 1, 0x01)) << c.name;
    }
}

TEST_F(LinkTest, ReleaseLinkEndsWithRegisterTwoClearedAndControlFour) {
    testsupport::SimulatedLink link;
    tidewick::ReleaseLink();
    const std::vector<Access> expected = {W(kBase + 2, 0x01), W(kBase + 3, 2), W(kBase + 4, 0x00),
                                          W(kBase + 2, 0x04)};
    EXPECT_EQ(link.port().log, expected);
}

TEST_F(LinkTest, FlashByteGivesUpAfterFourAttemptsOfTenThousandPolls) {
    struct Case {
        const char* name;
        linksim::Options options;
        std::uint64_t reads;
    };
    linksim::Options busy;  // bit 7 stays complemented, bit 5 clear
    busy.program_reads = 1000000;
    linksim::Options timed_out;  // bit 5 set: each poll reads twice more
    timed_out.stuck = 0x1234;
    const Case cases[] = {
        {"chip stays busy", busy, 4 * (10000 + 1)},
        {"chip reports its time limit", timed_out, 4 * (3 * 10000 + 1)},
    };
    for (const Case& c : cases) {
        testsupport::SimulatedLink link(c.options);
        link.port().set_recording(false);
        tidewick::ErrorOccurred = false;
        EXPECT_EQ(tidewick::FlashByte(0x1234, 0x5A, 3), 1) << c.name;
        EXPECT_TRUE(tidewick::ErrorOccurred) << c.name;
        EXPECT_EQ(link.device().stats().data_reads, c.reads) << c.name;
        // No reset between the attempts.
        EXPECT_EQ(link.device().stats().resets, 0u) << c.name;
    }
}

TEST_F(LinkTest, FlashByteIsDoneWhenBitSevenMatches) {
    struct Case {
        std::uint8_t value;
        std::vector<std::uint8_t> polls;
        std::size_t reads;
    };
    const Case cases[] = {
        {0x80, {0x00, 0x40, 0x80}, 3},  // bit 7 set: the first poll reading it as 1
        {0x7F, {0xFF, 0x00}, 2},        // bit 7 clear: the first poll reading it as 0
        {0x00, {0xA0, 0x00}, 2},        // DQ5 set, bit 7 right on the read after it
        {0x01, {0xA0, 0x80, 0x01}, 3},  // DQ5 set, then the whole byte on the third read
    };
    for (const Case& c : cases) {
        testsupport::SimulatedLink link;
        for (std::uint8_t v : c.polls) link.port().QueueReads({v});
        EXPECT_EQ(tidewick::FlashByte(0x10, c.value, 3), 0);
        std::size_t reads = 0;
        for (const Access& a : link.port().log) reads += a.write ? 0 : 1;
        EXPECT_EQ(reads, c.reads) << int{c.value};
    }
}

TEST_F(LinkTest, MeasureCartridgeSizeByMirror) {
    struct Case {
        const char* name;
        std::uint32_t size;
        bool copy_header_at_2mib;
        bool blank_header;
        std::uint32_t measured;
    };
    const Case cases[] = {
        {"1 MiB", 0x100000, false, false, 0x100000},
        {"2 MiB", 0x200000, false, false, 0x200000},
        {"4 MiB", 0x400000, false, false, 0x400000},
        {"4 MiB with the header again at 2 MiB", 0x400000, true, false, 0x200000},
        // Blank flash mirrors itself everywhere: the largest size, so nothing is left out.
        {"blank header on 4 MiB", 0x400000, false, true, 0x400000},
        {"blank header on 1 MiB", 0x100000, false, true, 0x400000},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> cart(c.size, 0xFF);
        if (!c.blank_header) {
            for (std::uint32_t i = 0; i < 28; ++i) {
                cart[i] = static_cast<std::uint8_t>('A' + i % 26);
            }
        }
        if (c.copy_header_at_2mib) std::copy_n(cart.begin(), 28, cart.begin() + 0x200000);
        testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(std::move(cart)));
        EXPECT_EQ(tidewick::MeasureCartridgeSize(), c.measured) << c.name;
    }
}

TEST_F(LinkTest, CheckLinkerReadsTheTimeOutBitThenTheRegisterEcho) {
    // After the status read (bit 0 clear; the other lines float): DetectLinker's echo.
    std::vector<Access> echo = SetAddressCycles(0x56, 0x34, 0xFE, 0x88);
    for (const Access& a :
         {W(kBase + 2, 0x00), W(kBase + 3, 0), R(kBase + 4, 0x56), W(kBase + 3, 1),
          R(kBase + 4, 0x34), W(kBase + 3, 2), R(kBase + 4, 0x7E)}) {
        echo.push_back(a);
    }
    struct Case {
        const char* name;
        std::vector<std::uint8_t> reads;  // scripted answers, status first
        int result;
        std::size_t accesses;
    };
    const Case cases[] = {
        {"linker answers", {}, 0, 1 + echo.size()},
        {"a cycle timed out", {0x01}, 1, 1},
        {"register 2 floats", {0x00, 0x56, 0x34, 0xFF}, 1, 1 + echo.size()},
        {"register 0 floats", {0x00, 0xFF}, 1, 1 + echo.size() - 4},
    };
    for (const Case& c : cases) {
        testsupport::SimulatedLink link;
        for (std::uint8_t v : c.reads) link.port().QueueReads({v});
        EXPECT_EQ(tidewick::CheckLinker(), c.result) << c.name;
        EXPECT_EQ(link.port().log.size(), c.accesses) << c.name;
        const std::vector<Access>& log = link.port().log;
        ASSERT_FALSE(log.empty());
        EXPECT_FALSE(log.front().write);
        EXPECT_EQ(log.front().port, kBase + 1);
        if (c.reads.empty()) {
            EXPECT_EQ(std::vector<Access>(log.begin() + 1, log.end()), echo);
        }
        // A query: failing it is for the caller to report.
        EXPECT_FALSE(tidewick::ErrorOccurred) << c.name;
    }
    linksim::Options gone;
    gone.unplug_after = 0;
    testsupport::SimulatedLink unplugged(gone);
    EXPECT_EQ(tidewick::CheckLinker(), 1);
}

// A floating bus reads 0xFF: bit 7 looks done for every value with bit 7 set, and a chip erase
// looks finished at once. Neither may count once the linker has gone.
TEST_F(LinkTest, ASilentLinkerNeitherProgramsNorErases) {
    linksim::Options gone;
    gone.unplug_after = 0;
    for (std::uint8_t value : {std::uint8_t{0x80}, std::uint8_t{0xA5}, std::uint8_t{0x00}}) {
        testsupport::SimulatedLink link(gone);
        link.port().set_recording(false);
        tidewick::ErrorOccurred = false;
        EXPECT_EQ(tidewick::FlashByte(0x1234, value, 3), 1) << int{value};
        EXPECT_TRUE(tidewick::ErrorOccurred);
    }
    testsupport::SimulatedLink link(gone);
    link.port().set_recording(false);
    unsigned chip = 0;
    tidewick::ErrorOccurred = false;
    EXPECT_EQ(tidewick::EraseBothChips(&chip), 1);
    EXPECT_EQ(chip, 1u);
    EXPECT_TRUE(tidewick::ErrorOccurred);
}

// A chip that reads back 0xFF as it finishes (its other bits late) is still done when the
// linker answers the check.
TEST_F(LinkTest, FlashByteTakesAnAnsweredAllOnesPollAsDone) {
    testsupport::SimulatedLink link;
    link.port().QueueReads({0xFF});
    EXPECT_EQ(tidewick::FlashByte(0x10, 0x80, 3), 0);
    EXPECT_EQ(link.device().stats().program_commands, 1u);
    EXPECT_FALSE(tidewick::ErrorOccurred);
}

TEST_F(LinkTest, HungEraseEndsAtTheReadLimitNamingTheChip) {
    linksim::Options hang;
    hang.erase_hang = true;
    testsupport::SimulatedLink link(hang);
    link.port().set_recording(false);
    tidewick::EraseReadLimit = 5000;
    unsigned chip = 0;
    EXPECT_EQ(tidewick::EraseBothChips(&chip), 1);
    EXPECT_EQ(chip, 1u);
    EXPECT_TRUE(tidewick::ErrorOccurred);
    EXPECT_EQ(link.device().stats().data_reads, 5000u);
    EXPECT_EQ(link.device().stats().chip_erases, 1u);  // chip 2 is not started
}

TEST_F(LinkTest, EraseWaitsForEachChipInTurn) {
    linksim::Options slow;
    slow.erase_reads = 20000;
    testsupport::SimulatedLink link(slow);
    link.port().set_recording(false);
    unsigned chip = 0;
    EXPECT_EQ(tidewick::EraseBothChips(&chip), 0);
    EXPECT_FALSE(tidewick::ErrorOccurred);
    EXPECT_EQ(link.device().stats().chip_erases, 2u);
    EXPECT_EQ(link.device().stats().erased.count, 2u);
}

// The whole write with a hung erase, in-process so the read limit can be small.
TEST_F(LinkTest, FlashFileReportsAHungEraseAndFails) {
    linksim::Options hang;
    hang.erase_hang = true;
    testsupport::SimulatedLink link(hang);
    link.port().set_recording(false);
    tidewick::EraseReadLimit = 5000;
    std::string path = ::testing::TempDir() + "tidewick_hung_erase_" +
                       std::to_string(std::random_device{}()) + ".ngp";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("COPYRIGHT BY SNK CORPORATION", f);
    std::fclose(f);
    tidewick::FileArgument = path.c_str();
    tidewick::YesToAll = true;

    ::testing::internal::CaptureStdout();
    int result = tidewick::FlashFile();
    std::string out = ::testing::internal::GetCapturedStdout();
    tidewick::FileArgument = nullptr;
    tidewick::YesToAll = false;
    std::remove(path.c_str());

    EXPECT_EQ(result, 1);
    EXPECT_TRUE(tidewick::ErrorOccurred);
    EXPECT_EQ(out, "Erasing...\n\rErase error: chip 1 did not finish erasing!\n");
    EXPECT_EQ(link.device().stats().program_commands, 0u);
}

}  // namespace
