// The window's start: choosing the port backend for the three bases, then probing them. Kept in
// its own program because the backend is chosen once per process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "cartloom/link/bus.h"
#include "cartloom/link/link.h"

namespace {

TEST(LinkStart, SimulatedLinkerIsFoundThroughTheChosenBackend) {
    const std::string cart = testing::TempDir() + "cartloom_link_start.bin";
    std::remove(cart.c_str());
    ASSERT_EQ(setenv("LINKSIM", cart.c_str(), 1), 0);
    ASSERT_EQ(setenv("LINKSIM_OPTS", "base=0x278,spp", 1), 0);
    portio::AccessResult result = OpenPortBackend();
    EXPECT_EQ(result.outcome, portio::AccessOutcome::Ready) << result.reason;
    EXPECT_EQ(result.kind, portio::BackendKind::Simulated);
    EXPECT_TRUE(FindLink());
    EXPECT_EQ(LinkState.DataPort, 0x278);
    EXPECT_TRUE(LinkState.SppMode);
    // The cartridge file, by any name, is not a file the programs may write their own over.
    const std::string other_name = testing::TempDir() + "cartloom_link_start_link.bin";
    std::remove(other_name.c_str());
    ASSERT_EQ(symlink(cart.c_str(), other_name.c_str()), 0);
    EXPECT_TRUE(portio::IsSimulatorCartridge(cart));
    EXPECT_TRUE(portio::IsSimulatorCartridge(other_name));
    EXPECT_FALSE(portio::IsSimulatorCartridge(testing::TempDir()));
    EXPECT_FALSE(portio::IsSimulatorCartridge(cart + ".missing"));
    ClosePortBackend();
    std::remove(other_name.c_str());
    std::remove(cart.c_str());
}

}  // namespace
