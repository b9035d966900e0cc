// Whole-cartridge round trips, and what block operations cost in port accesses.
#include <gtest/gtest.h>

#include <cstring>

#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "tests/cartloom_link/link_fixture.h"
#include "tools/image_gen.h"

namespace {

class WholeCart : public linktest::LinkTest {};

class RoundTrip : public linktest::LinkTest, public testing::WithParamInterface<bool> {};

TEST_P(RoundTrip, ImageProgrammedBlockByBlockReadsBackEqual) {
    const bool spp = GetParam();
    imagegen::ImageSpec shape;
    shape.size_mbit = 32;
    shape.seed = 7;
    const std::vector<std::uint8_t> image = imagegen::MakeImage(shape);
    ASSERT_EQ(image.size(), linksim::kMaxCartBytes);
    {
        linksim::Options options;
        options.spp = spp;
        // Old contents everywhere, so that the erase matters.
        testsupport::SimulatedLink link(options, linktest::FilledCart(0x00));
        link.port().set_recording(false);
        ASSERT_TRUE(FindLink());
        ASSERT_EQ(LinkState.SppMode, spp);
        ASSERT_EQ(DetectCart(), 0x20);
        SelectChipForBlock(0x00);
        ASSERT_EQ(EraseChip(), 0);
        SelectChipForBlock(0x40);
        ASSERT_EQ(EraseChip(), 0);

        const std::uint32_t blocks = CartSize / kBlockBytes;
        for (std::uint32_t b = 0; b < blocks; ++b) {
            std::memcpy(BlockBuffer.data(), image.data() + b * kBlockBytes, kBlockBytes);
            ASSERT_EQ(ProgramBlock(b), 0) << "block " << b;
        }
        EXPECT_EQ(std::memcmp(link.device().Cart(), image.data(), image.size()), 0);

        for (std::uint32_t b = 0; b < blocks; ++b) {
            BlockBuffer.fill(0x5A);
            ReadBlockPages(b, 128);
            ASSERT_EQ(std::memcmp(BlockBuffer.data(), image.data() + b * kBlockBytes, kBlockBytes),
                      0)
                << "block " << b;
            ASSERT_EQ(VerifyBlockPages(b, 128), 0) << "block " << b;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, RoundTrip, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& mode) {
                             return mode.param ? "Spp" : "Epp";
                         });

// Port accesses of one cycle of each kind, as the bus is built.
struct CycleCost {
    std::uint64_t reg_write, direction, select, read;
};
constexpr CycleCost kEppCost{2, 1, 1, 1};
constexpr CycleCost kSppCost{6, 1, 3, 5};

// What a whole-block operation must cost: one latch per 256-byte page, register 2 written only
// when it changes, DQ7 polling that needs `program_reads` + 1 reads per byte.
struct Predicted {
    CycleCost c;
    std::uint64_t SelectChip() const { return c.direction + 3 * c.reg_write; }
    std::uint64_t Reset() const { return c.direction + 9 * c.reg_write; }
    std::uint64_t Page() const {
        return 2 * c.direction + 2 * c.reg_write + c.select + 256 * c.read;
    }
    std::uint64_t Read(std::uint64_t pages) const {
        return SelectChip() + c.reg_write + pages * Page();
    }
    std::uint64_t Verify(std::uint64_t pages) const { return Read(pages) + Reset(); }
    std::uint64_t Program(bool high_address, std::uint64_t program_reads) const {
        std::uint64_t per_byte =
            2 * c.direction + 12 * c.reg_write + c.select + (program_reads + 1) * c.read;
        std::uint64_t reg2 = high_address ? (2 * kBlockBytes - 1) * c.reg_write : 0;
        return SelectChip() + kBlockBytes * per_byte + reg2 + Verify(1);
    }
};

TEST_F(WholeCart, BlockOperationsCostWhatTheCyclesPredict) {
    enum class Op { Read, Verify, Program };
    struct Case {
        const char* name;
        bool spp;
        Op op;
        std::uint32_t block;
    };
    const Case cases[] = {
        {"EPP read", false, Op::Read, 0x45},
        {"SPP read", true, Op::Read, 0x45},
        {"EPP verify", false, Op::Verify, 0x45},
        {"SPP verify", true, Op::Verify, 0x45},
        {"EPP program low", false, Op::Program, 0x01},
        {"SPP program low", true, Op::Program, 0x01},
        {"EPP program high", false, Op::Program, 0x22},
        {"SPP program high", true, Op::Program, 0x22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        linksim::Options options;
        options.spp = c.spp;
        testsupport::SimulatedLink link(options, linktest::FilledCart(0x00));
        link.port().set_recording(false);
        linktest::Bind(linktest::kBase, c.spp);
        const Predicted predicted{c.spp ? kSppCost : kEppCost};
        BlockBuffer.fill(0x00);
        std::uint64_t expected = 0;
        if (c.op == Op::Program) {
            // Erase first, then count from a fresh register record as after a link test.
            SelectChipForBlock(c.block);
            ASSERT_EQ(EraseChip(), 0);
            ReleaseLink();
        }
        link.device().ResetStats();
        switch (c.op) {
            case Op::Read:
                ReadBlockPages(c.block, 128);
                expected = predicted.Read(128);
                break;
            case Op::Verify:
                EXPECT_EQ(VerifyBlockPages(c.block, 128), 0);
                expected = predicted.Verify(128);
                break;
            case Op::Program:
                EXPECT_EQ(ProgramBlock(c.block), 0);
                expected = predicted.Program((c.block & 0x3F) >= 2, options.program_reads);
                break;
        }
        const linksim::Stats& stats = link.device().stats();
        EXPECT_EQ(stats.port_reads + stats.port_writes, expected);
        if (c.op != Op::Program) {
            EXPECT_EQ(stats.address_cycles, (c.op == Op::Verify ? 9u : 0u) + 3u + 1u + 128u * 3u);
        }
    }
}

}  // namespace
