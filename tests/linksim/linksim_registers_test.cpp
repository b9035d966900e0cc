#include <gtest/gtest.h>

#include "portio/epp.h"
#include "tests/support/recording_port.h"

namespace {

constexpr std::uint16_t kBase = 0x378;

TEST(LinksimSmoke, EchoesRegistersZeroAndOne) {
    testsupport::SimulatedLink link;
    epp::SetWriteDirection(kBase);
    epp::AddressCycle(kBase, 1);
    epp::DataWrite(kBase, 0x12);
    epp::AddressCycle(kBase, 0);
    epp::DataWrite(kBase, 0x34);
    epp::SetReadDirection(kBase);
    epp::AddressCycle(kBase, 1);
    EXPECT_EQ(epp::DataRead(kBase), 0x12);
    epp::AddressCycle(kBase, 0);
    EXPECT_EQ(epp::DataRead(kBase), 0x34);
}

}  // namespace
