// What one port access costs with the simulated linker behind PortRead/PortWrite, and the
// counters of one whole 4 MiB read in EPP cycles.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "linksim/device.h"
#include "portio/device_port.h"
#include "portio/epp.h"
#include "portio/portio.h"

namespace {

constexpr std::uint16_t kBase = 0x378;

struct Sim {
    explicit Sim(bool spp) {
        linksim::Options o;
        o.spp = spp;
        device = std::make_unique<linksim::Device>(o, linksim::MakeMemoryStore(0x400000));
        portio::InstallBackend(portio::MakeDevicePort(device.get()));
    }
    ~Sim() { portio::InstallBackend(nullptr); }
    std::unique_ptr<linksim::Device> device;
};

void SetReg(std::uint8_t reg, std::uint8_t value) {
    epp::AddressCycle(kBase, reg);
    epp::DataWrite(kBase, value);
}

void EnableChip1() {
    epp::SetWriteDirection(kBase);
    SetReg(2, 0x02);
    SetReg(3, 0x02);
    SetReg(2, 0x01);
}

// Streaming reads of register 3 with auto-increment: one port access per byte.
void BM_EppStreamRead(benchmark::State& state) {
    Sim sim(false);
    EnableChip1();
    epp::AddressCycle(kBase, 3);
    for (auto _ : state) benchmark::DoNotOptimize(epp::DataRead(kBase));
    state.counters["ns/access"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EppStreamRead);

// An SPP read played on the control lines: three writes and two status reads.
void BM_SppRead(benchmark::State& state) {
    Sim sim(true);
    for (auto _ : state) {
        PortWrite(kBase + 2, 0x02);
        benchmark::DoNotOptimize(PortRead(kBase + 1));
        PortWrite(kBase + 2, 0x06);
        benchmark::DoNotOptimize(PortRead(kBase + 1));
        PortWrite(kBase + 2, 0x00);
    }
    state.counters["ns/access"] =
        benchmark::Counter(static_cast<double>(state.iterations() * 5),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SppRead);

// A register write, the most common cycle pair when programming.
void BM_EppRegisterWrite(benchmark::State& state) {
    Sim sim(false);
    for (auto _ : state) SetReg(0, 0x55);
    state.counters["ns/access"] =
        benchmark::Counter(static_cast<double>(state.iterations() * 2),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EppRegisterWrite);

// One whole 4 MiB read, page by page as both programs do it; prints the counters once.
void BM_EppFullCartRead(benchmark::State& state) {
    Sim sim(false);
    for (auto _ : state) {
        sim.device->ResetStats();
        for (std::uint32_t chip = 0; chip < 2; ++chip) {
            epp::SetWriteDirection(kBase);
            SetReg(2, 0x02);
            SetReg(3, chip == 0 ? 0x02 : 0x01);
            for (std::uint32_t a = 0; a < 0x200000; a += 0x100) {
                epp::SetWriteDirection(kBase);
                SetReg(2, static_cast<std::uint8_t>(((a >> 14) & 0x3C) | ((a >> 13) & 0x80) | 1));
                SetReg(1, static_cast<std::uint8_t>(a >> 8));
                SetReg(0, 0);
                epp::AddressCycle(kBase, 3);
                epp::SetReadDirection(kBase);
                for (int i = 0; i < 256; ++i) benchmark::DoNotOptimize(epp::DataRead(kBase));
            }
        }
    }
    const linksim::Stats& s = sim.device->stats();
    state.counters["port_reads"] = static_cast<double>(s.port_reads);
    state.counters["port_writes"] = static_cast<double>(s.port_writes);
    state.counters["accesses/byte"] = static_cast<double>(s.port_reads + s.port_writes) / 0x400000;
}
BENCHMARK(BM_EppFullCartRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
