// A run of reads of one port gives what as many single reads give, on every backend without
// a kernel behind it; the simulator counts each read of the run.
#include <gtest/gtest.h>

#include <vector>

#include "linksim/device.h"
#include "portio/backends.h"
#include "portio/device_port.h"
#include "portio/epp.h"
#include "portio/portio.h"

namespace {

constexpr std::uint16_t kBase = 0x378;

// Points the simulated linker at chip 1, address 0x100, with auto-increment on, and selects the
// data register.
void StartSequentialRead() {
    epp::SetWriteDirection(kBase);
    const std::uint8_t writes[][2] = {{2, 0x02}, {3, 0x02}, {2, 0x01}, {1, 0x01}, {0, 0x00}};
    for (const auto& w : writes) {
        epp::AddressCycle(kBase, w[0]);
        epp::DataWrite(kBase, w[1]);
    }
    epp::AddressCycle(kBase, 3);
    epp::SetReadDirection(kBase);
}

TEST(ReadRun, TheSimulatorAnswersAndCountsEveryReadOfTheRun) {
    std::vector<std::uint8_t> cart(0x200000, 0xFF);
    for (std::size_t i = 0; i < 0x200; ++i) cart[0x100 + i] = static_cast<std::uint8_t>(i * 7);
    linksim::Device device({}, linksim::MakeMemoryStore(cart));
    auto previous = portio::InstallBackend(portio::MakeDevicePort(&device));
    StartSequentialRead();
    const std::uint64_t reads_before = device.stats().port_reads;
    std::vector<std::uint8_t> run(300);
    PortReadRun(kBase + epp::kDataOffset, run.data(), run.size());
    EXPECT_EQ(device.stats().port_reads - reads_before, run.size());
    EXPECT_EQ(run, std::vector<std::uint8_t>(cart.begin() + 0x100, cart.begin() + 0x100 + 300));
    EXPECT_EQ(device.LatchedAddress(), 0x100u + 300u);
    portio::InstallBackend(std::move(previous));
}

TEST(ReadRun, AnAbsentPortAndNoBackendReadAsAnUndrivenBus) {
    auto previous = portio::InstallBackend(portio::MakeAbsentPort());
    std::vector<std::uint8_t> run(5, 0x00);
    PortReadRun(kBase + 4, run.data(), run.size());
    EXPECT_EQ(run, std::vector<std::uint8_t>(5, 0xFF));
    portio::InstallBackend(nullptr);
    run.assign(5, 0x00);
    PortReadRun(kBase + 4, run.data(), run.size());
    EXPECT_EQ(run, std::vector<std::uint8_t>(5, 0xFF));
    portio::InstallBackend(std::move(previous));
}

}  // namespace
