// The arithmetic rules an end-to-end run cannot pin down on its own: the header hash, the
// 32-bit port number rule and the progress percentage at the edges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tidewick/command_line.h"
#include "tidewick/header.h"
#include "tidewick/progress.h"

namespace {

std::vector<std::uint8_t> Bytes(const char* text) {
    return std::vector<std::uint8_t>(text, text + std::strlen(text));
}

TEST(HeaderHash, BothMarkersAreValidAndNearMissesAreNot) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool valid;
    };
    std::vector<std::uint8_t> long_copyright = Bytes("COPYRIGHT BY SNK CORPORATION and more");
    const Case cases[] = {
        {"copyright", Bytes("COPYRIGHT BY SNK CORPORATION"), true},
        {"licensed", Bytes(" LICENSED BY SNK CORPORATION"), true},
        {"only the first 28 bytes count", long_copyright, true},
        {"one letter folded", Bytes("COPYRIGHT BY SNK CORPORATIOn"), false},
        {"licensed without its space", Bytes("LICENSED BY SNK CORPORATION "), false},
        {"27 bytes, the last missing", Bytes("COPYRIGHT BY SNK CORPORATIO"), false},
        {"empty file", {}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tidewick::IsValidHeaderHash(tidewick::HeaderHash(c.bytes)), c.valid) << c.name;
    }
    EXPECT_EQ(tidewick::HeaderHash(Bytes("COPYRIGHT BY SNK CORPORATION")), 0xE8D446C4u);
    EXPECT_EQ(tidewick::HeaderHash(Bytes(" LICENSED BY SNK CORPORATION")), 0xDC4446C4u);
}

TEST(HeaderHash, MissingBytesCountAsAllBitsSet) {
    // 28 missing bytes: h = (h << 1) ^ 0xFFFFFFFF, 28 times.
    std::uint32_t h = 0;
    for (int i = 0; i < 28; ++i) h = (h << 1) ^ 0xFFFFFFFFu;
    EXPECT_EQ(tidewick::HeaderHash({}), h);
}

TEST(ParsePortNumber, FollowsStrtoulHeldToThirtyTwoBits) {
    struct Case {
        const char* text;
        std::uint32_t port;
    };
    const Case cases[] = {
        {"888", 888},
        {"632", 632},
        {"  \t956", 956},
        {"+888", 888},
        {"0888", 888},
        {"888x", 888},
        {"0x378", 0},
        {"", 0},
        {"abc", 0},
        {"- 5", 0},
        {"-1", 0xFFFFFFFFu},
        {"-888", 0u - 888u},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0xFFFFFFFFu},
        {"99999999999999999999999999", 0xFFFFFFFFu},
        {"-4294967295", 1},
        {"-4294967296", 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tidewick::ParsePortNumber(c.text), c.port) << '"' << c.text << '"';
    }
}

TEST(Progress, PercentagesAtTheEdgesOfTheTotals) {
    struct Case {
        std::uint32_t total;
        std::uint32_t offset;
        int percent;
    };
    const Case cases[] = {
        // The cartridge sizes end at 100, at the last block and at the total itself.
        {0x100000, 0x0FFF00, 100},
        {0x200000, 0x1FFF00, 100},
        {0x200000, 0x200000, 100},
        {0x400000, 0x3FFF00, 100},
        {0x400000, 0x000100, 0},
        // Other totals end elsewhere.
        {1000, 256, 36},
        {1000, 768, 109},
        // Below 256 bytes the subtraction wraps round: always 0.
        {0, 0, 0},
        {255, 0, 0},
        // 256 to 355 bytes: the divisor is 0; the last block shows 100.
        {256, 0, 0},
        {256, 256, 100},
        {300, 256, 100},
        {355, 256, 100},
        {356, 256, 256},
    };
    for (const Case& c : cases) {
        std::uint32_t divisor = tidewick::ProgressDivisor(c.total);
        EXPECT_EQ(tidewick::ProgressPercent(c.offset, divisor), c.percent)
            << "total " << c.total << " offset " << c.offset;
    }
}

}  // namespace
