#include "tests/cartloom_link/link_fixture.h"

#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"

namespace linktest {

void Bind(std::uint16_t base, bool spp) {
    LinkState.DataPort = base;
    LinkState.StatusPort = static_cast<std::uint16_t>(base + 1);
    LinkState.ControlPort = static_cast<std::uint16_t>(base + 2);
    LinkState.EppAddressPort = static_cast<std::uint16_t>(base + 3);
    LinkState.EppDataPort = static_cast<std::uint16_t>(base + 4);
    LinkState.SppMode = spp;
}

std::string Tail(const std::vector<testsupport::Access>& log, std::size_t from) {
    if (from > log.size()) from = log.size();
    return testsupport::Describe(std::vector<testsupport::Access>(
        log.begin() + static_cast<std::ptrdiff_t>(from), log.end()));
}

std::vector<std::pair<int, int>> RegisterWrites(const std::vector<testsupport::Access>& log,
                                                std::uint16_t base) {
    std::vector<std::pair<int, int>> out;
    int reg = -1;
    for (const auto& a : log) {
        if (!a.write) continue;
        if (a.port == base + 3) reg = a.value;
        if (a.port == base + 4) out.emplace_back(reg, a.value);
    }
    return out;
}

ScriptedPort::ScriptedPort() {
    auto port = std::make_unique<testsupport::RecordingPort>();
    port_ = port.get();
    previous_ = portio::InstallBackend(std::move(port));
}

ScriptedPort::~ScriptedPort() {
    portio::InstallBackend(std::move(previous_));
}

std::unique_ptr<linksim::CartStore> FilledCart(std::uint8_t fill, std::uint32_t size) {
    return linksim::MakeMemoryStore(std::vector<std::uint8_t>(size, fill));
}

void LinkTest::SetUp() {
    ResetLinkState();
    ResetBlockState();
    ResetDetectionState();
    SetLinkCaptionObserver(
        [this](LinkLabel label, const std::string& caption) { captions[label] = caption; });
}

void LinkTest::TearDown() {
    ResetLinkState();
    ResetBlockState();
    ResetDetectionState();
}

}  // namespace linktest
