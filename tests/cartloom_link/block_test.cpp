// Block read, verify and program through the block buffer, against the simulated cartridge.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"
#include "tests/cartloom_link/link_fixture.h"

namespace {

using linktest::kBase;

class BlockOps : public linktest::LinkTest {};

std::uint8_t Pattern(std::uint32_t addr) {
    return static_cast<std::uint8_t>((addr * 7 + (addr >> 8) * 13 + 3) & 0xFF);
}

std::vector<std::uint8_t> PatternCart() {
    std::vector<std::uint8_t> cart(linksim::kMaxCartBytes);
    for (std::uint32_t a = 0; a < cart.size(); ++a) cart[a] = Pattern(a);
    return cart;
}

void LoadBuffer(const std::vector<std::uint8_t>& cart, std::uint32_t block) {
    std::memcpy(BlockBuffer.data(), cart.data() + block * kBlockBytes, kBlockBytes);
}

// Passes accesses to a device, but inverts the answer of one EPP data read (counted from 0).
class FlakyPort final : public portio::PortBackend {
  public:
    FlakyPort(linksim::Device* device, std::uint64_t flaky_read)
        : device_(device), flaky_read_(flaky_read) {}
    std::uint8_t Read(std::uint16_t port) override {
        std::uint8_t v = device_->Read(port);
        if (port == kBase + 4 && data_reads_++ == flaky_read_) v = static_cast<std::uint8_t>(~v);
        return v;
    }
    void Write(std::uint16_t port, std::uint8_t value) override { device_->Write(port, value); }

  private:
    linksim::Device* device_;
    std::uint64_t flaky_read_;
    std::uint64_t data_reads_ = 0;
};

TEST_F(BlockOps, ReadOfBlock0x40ReadsChip2FromAddress0) {
    std::vector<std::uint8_t> cart = PatternCart();
    testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(cart));
    linktest::Bind(kBase, false);
    ReadBlockPages(0x40, 1);
    const std::vector<std::pair<int, int>> expected = {
        {2, 0x02}, {3, 0x01}, {2, 0x00},   // chip 2
        {2, 0x01}, {1, 0x00}, {0, 0x00}};  // chip address 0, auto-increment
    EXPECT_EQ(linktest::RegisterWrites(link.port().log), expected);
    EXPECT_EQ(std::memcmp(BlockBuffer.data(), cart.data() + 0x200000, 256), 0);
    EXPECT_EQ(link.device().stats().read.low, 0x200000u);
    EXPECT_EQ(link.device().stats().read.high, 0x2000FFu);
}

TEST_F(BlockOps, PageCountsAbove128StayInsideTheBuffer) {
    std::vector<std::uint8_t> cart = PatternCart();
    testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(cart));
    link.port().set_recording(false);
    linktest::Bind(kBase, false);
    ReadBlockPages(0, 200);
    EXPECT_EQ(link.device().stats().data_reads, kBlockBytes);
    EXPECT_EQ(std::memcmp(BlockBuffer.data(), cart.data(), kBlockBytes), 0);
    link.device().ResetStats();
    EXPECT_EQ(VerifyBlockPages(0, 255), 0);
    EXPECT_EQ(link.device().stats().data_reads, kBlockBytes);
}

TEST_F(BlockOps, VerifyReportsTheFirstByteThatDiffersTwice) {
    struct Case {
        const char* name;
        std::uint32_t block;
        std::uint8_t pages;
        std::vector<std::pair<std::uint32_t, std::uint8_t>> cart_changes;
        std::vector<std::pair<std::uint32_t, std::uint8_t>> buffer_changes;
        std::int32_t result;
        const char* output;
    };
    const Case cases[] = {
        {"equal block", 5, 128, {}, {}, 0, ""},
        {"block 1 page 2 byte 3",
         1,
         128,
         {{0x8203, 0x0A}},
         {{0x203, 0x05}},
         -1,
         "\nerror at 8203!   file( 5)   cart( a)\a\n"},
        {"later page not compared", 1, 2, {{0x8203, 0x0A}}, {{0x203, 0x05}}, 0, ""},
        {"chip 2",
         0x41,
         128,
         {{0x208010, 0xAB}},
         {{0x10, 0xCD}},
         -1,
         "\nerror at 208010!   file(cd)   cart(ab)\a\n"},
        {"first of two mismatches",
         2,
         128,
         {{0x10100, 0x00}, {0x10200, 0x00}},
         {{0x100, 0x01}, {0x200, 0x01}},
         -1,
         "\nerror at 10100!   file( 1)   cart( 0)\a\n"},
        // The re-read of a page's last byte must not read the next page's last byte, which
        // here holds what the buffer expects.
        {"last byte of a page",
         0,
         1,
         {{0xFF, 0x12}, {0x1FF, 0x00}},
         {{0xFF, 0x00}},
         -1,
         "\nerror at ff!   file( 0)   cart(12)\a\n"},
        {"last byte before a 64 KB boundary",
         1,
         128,
         {{0xFFFF, 0x12}, {0x1FFFF, 0x00}},
         {{0x7FFF, 0x00}},
         -1,
         "\nerror at ffff!   file( 0)   cart(12)\a\n"},
        {"no pages", 1, 0, {{0x8000, 0x00}}, {{0x0, 0x01}}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> cart = PatternCart();
        LoadBuffer(cart, c.block);
        for (auto [addr, v] : c.cart_changes) cart[addr] = v;
        for (auto [offset, v] : c.buffer_changes) BlockBuffer[offset] = v;
        testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(cart));
        link.port().set_recording(false);
        linktest::Bind(kBase, false);
        testing::internal::CaptureStdout();
        std::int32_t result = VerifyBlockPages(c.block, c.pages);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(link.device().stats().resets, 1u);
    }
}

TEST_F(BlockOps, VerifyGivesEachByteOneSecondChance) {
    struct Case {
        const char* name;
        std::uint64_t flaky_read;
        std::vector<std::pair<std::uint32_t, std::uint8_t>> buffer_changes;
        std::int32_t result;
        const char* output;
    };
    const Case cases[] = {
        {"misread once", 10, {}, 0, ""},
        {"misread at the end of a page", 255, {}, 0, ""},
        {"misread in a later page", 256 * 7 + 3, {}, 0, ""},
        // After the re-read the stream goes on at the next byte.
        {"stream resumes after the re-read",
         10,
         {{11, 0x00}},
         -1,
         "\nerror at 1000b!   file( 0)   cart(50)\a\n"},
    };
    std::vector<std::uint8_t> cart = PatternCart();
    ASSERT_EQ(cart[0x1000B], 0x50);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadBuffer(cart, 2);
        for (auto [offset, v] : c.buffer_changes) BlockBuffer[offset] = v;
        linksim::Device device({}, linksim::MakeMemoryStore(cart));
        auto previous = portio::InstallBackend(std::make_unique<FlakyPort>(&device, c.flaky_read));
        linktest::Bind(kBase, false);
        testing::internal::CaptureStdout();
        std::int32_t result = VerifyBlockPages(2, 128);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_EQ(result, c.result);
        portio::InstallBackend(std::move(previous));
    }
}

TEST_F(BlockOps, ProgramSkips0xFFAndChecksOnlyTheFirstPage) {
    struct Case {
        const char* name;
        std::uint8_t cart_fill;
        std::uint32_t block;
        std::vector<std::pair<std::uint32_t, std::uint8_t>> cart_changes;
        bool pattern;  // else an all-0xFF buffer
        std::int32_t result;
        std::uint64_t programs;
        bool message;
    };
    const Case cases[] = {
        {"all 0xFF on an erased block", 0xFF, 3, {}, false, 0, 0, false},
        {"all 0xFF over data in the first page", 0xFF, 3, {{0x18080, 0x00}}, false, -1, 0, true},
        {"all 0xFF over data after the first page", 0xFF, 3, {{0x18100, 0x00}}, false, 0, 0, false},
        {"pattern on chip 1", 0xFF, 3, {}, true, 0, 32768 - 128, false},
        {"pattern on chip 2", 0xFF, 0x45, {}, true, 0, 32768 - 128, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> cart(linksim::kMaxCartBytes, c.cart_fill);
        for (auto [addr, v] : c.cart_changes) cart[addr] = v;
        testsupport::SimulatedLink link({}, linksim::MakeMemoryStore(cart));
        link.port().set_recording(false);
        linktest::Bind(kBase, false);
        for (std::uint32_t i = 0; i < kBlockBytes; ++i) {
            BlockBuffer[i] = c.pattern ? Pattern(c.block * kBlockBytes + i) : 0xFF;
        }
        testing::internal::CaptureStdout();
        EXPECT_EQ(ProgramBlock(c.block), c.result);
        EXPECT_EQ(!testing::internal::GetCapturedStdout().empty(), c.message);
        const linksim::Stats& stats = link.device().stats();
        EXPECT_EQ(stats.program_commands, c.programs);
        const std::uint8_t* now = link.device().Cart();
        const std::uint32_t start = c.block * kBlockBytes;
        EXPECT_EQ(std::memcmp(now + start, BlockBuffer.data(), kBlockBytes) == 0,
                  c.cart_changes.empty());
        // Nothing outside the block changed.
        EXPECT_EQ(std::memcmp(now, cart.data(), start), 0);
        EXPECT_EQ(std::memcmp(now + start + kBlockBytes, cart.data() + start + kBlockBytes,
                              cart.size() - start - kBlockBytes),
                  0);
    }
}

TEST_F(BlockOps, ProgramStopsAtAByteThatTimesOutFourTimesWithoutAMessage) {
    linksim::Options options;
    options.stuck = 0x10000 + 0x1234;
    testsupport::SimulatedLink link(options);
    link.port().set_recording(false);
    linktest::Bind(kBase, false);
    BlockBuffer.fill(0x00);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ProgramBlock(2), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const linksim::Stats& stats = link.device().stats();
    EXPECT_EQ(stats.program_commands, 0x1234u + 4u);
    EXPECT_EQ(stats.programmed.high, 0x11234u);
}

TEST_F(BlockOps, ProgramPumpsBeforeEveryByteButFourOffsets) {
    testsupport::SimulatedLink link;
    link.port().set_recording(false);
    linktest::Bind(kBase, false);
    BlockBuffer.fill(0x00);
    std::set<std::uint64_t> pumped_before;  // the byte offset about to be programmed
    std::size_t calls = 0;
    SetProgramPump([&] {
        ++calls;
        pumped_before.insert(link.device().stats().program_commands);
    });
    EXPECT_EQ(ProgramBlock(0), 0);
    EXPECT_EQ(calls, 32768u - 4u);
    for (std::uint64_t quiet : {0x0000, 0x2000, 0x4000, 0x6000}) {
        EXPECT_EQ(pumped_before.count(quiet), 0u) << std::hex << quiet;
        EXPECT_EQ(pumped_before.count(quiet + 1), 1u) << std::hex << quiet + 1;
    }
    EXPECT_EQ(pumped_before.size(), calls);
    EXPECT_EQ(*pumped_before.rbegin(), 0x7FFFu);
}

}  // namespace
