// Shared helpers for the link tests: a clean link layer per test, ports bound without probing,
// and captions collected from OpenLink.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cartloom/link/link.h"
#include "tests/support/recording_port.h"

namespace linktest {

inline constexpr std::uint16_t kBase = 0x378;

// Points the link at `base` in the given mode without running a link test.
void Bind(std::uint16_t base, bool spp);

// The accesses of `log` from index `from` on, as text for readable failure output.
std::string Tail(const std::vector<testsupport::Access>& log, std::size_t from = 0);

// The register writes (register, value) of an EPP access log, in order.
std::vector<std::pair<int, int>> RegisterWrites(const std::vector<testsupport::Access>& log,
                                                std::uint16_t base = kBase);

// A recording port with nothing behind it: reads give 0xFF unless scripted.
class ScriptedPort {
  public:
    ScriptedPort();
    ~ScriptedPort();
    ScriptedPort(const ScriptedPort&) = delete;
    ScriptedPort& operator=(const ScriptedPort&) = delete;
    testsupport::RecordingPort& port() { return *port_; }

  private:
    testsupport::RecordingPort* port_;
    std::unique_ptr<portio::PortBackend> previous_;
};

// A 4 MiB cartridge whose bytes are `fill`.
std::unique_ptr<linksim::CartStore> FilledCart(std::uint8_t fill,
                                               std::uint32_t size = linksim::kMaxCartBytes);

// Resets everything the link keeps between calls, before and after each test.
class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The last caption OpenLink handed over for each label; labels never set are absent.
    std::map<LinkLabel, std::string> captions;
};

}  // namespace linktest
