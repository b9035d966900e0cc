// A port backend for tests: logs every access in order and passes it on to a simulated device
// (or answers reads from a script when there is none).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "linksim/device.h"
#include "portio/portio.h"

namespace testsupport {

struct Access {
    bool write;
    std::uint16_t port;
    std::uint8_t value;
    bool operator==(const Access&) const = default;
};

inline Access W(std::uint16_t port, std::uint8_t value) {
    return {true, port, value};
}
inline Access R(std::uint16_t port, std::uint8_t value) {
    return {false, port, value};
}

std::string Describe(const std::vector<Access>& log);

class RecordingPort final : public portio::PortBackend {
  public:
    explicit RecordingPort(linksim::Device* device = nullptr) : device_(device) {}

    std::uint8_t Read(std::uint16_t port) override;
    void Write(std::uint16_t port, std::uint8_t value) override;

    // Values returned by the next reads, before the device is asked.
    void QueueReads(std::initializer_list<std::uint8_t> values) {
        scripted_.insert(scripted_.end(), values);
    }
    void set_recording(bool on) { recording_ = on; }

    std::vector<Access> log;

  private:
    linksim::Device* device_;
    std::deque<std::uint8_t> scripted_;
    bool recording_ = true;
};

// Installs a RecordingPort in front of a fresh simulated device for the life of the fixture
// object, and restores the previous backend afterwards.
class SimulatedLink {
  public:
    explicit SimulatedLink(const linksim::Options& options = {},
                           std::unique_ptr<linksim::CartStore> store = nullptr);
    ~SimulatedLink();
    SimulatedLink(const SimulatedLink&) = delete;
    SimulatedLink& operator=(const SimulatedLink&) = delete;

    linksim::Device& device() { return *device_; }
    RecordingPort& port() { return *port_; }

  private:
    std::unique_ptr<linksim::Device> device_;
    RecordingPort* port_;
    std::unique_ptr<portio::PortBackend> previous_;
};

}  // namespace testsupport
