#include "tests/support/recording_port.h"

#include <cstdio>

namespace testsupport {

std::string Describe(const std::vector<Access>& log) {
    std::string out;
    char buf[32];
    for (const Access& a : log) {
        std::snprintf(buf, sizeof buf, "%c %03x %02x\n", a.write ? 'W' : 'R', a.port, a.value);
        out += buf;
    }
    return out;
}

std::uint8_t RecordingPort::Read(std::uint16_t port) {
    std::uint8_t v = 0xFF;
    if (!scripted_.empty()) {
        v = scripted_.front();
        scripted_.pop_front();
    } else if (device_ != nullptr) {
        v = device_->Read(port);
    }
    if (recording_) log.push_back(R(port, v));
    return v;
}

void RecordingPort::Write(std::uint16_t port, std::uint8_t value) {
    if (recording_) log.push_back(W(port, value));
    if (device_ != nullptr) device_->Write(port, value);
}

SimulatedLink::SimulatedLink(const linksim::Options& options,
                             std::unique_ptr<linksim::CartStore> store) {
    if (!store && !options.nocart) store = linksim::MakeMemoryStore(linksim::kMaxCartBytes);
    device_ = std::make_unique<linksim::Device>(options, std::move(store));
    auto port = std::make_unique<RecordingPort>(device_.get());
    port_ = port.get();
    previous_ = portio::InstallBackend(std::move(port));
}

SimulatedLink::~SimulatedLink() {
    portio::InstallBackend(std::move(previous_));
}

}  // namespace testsupport
