// Speed of the link over the simulated linker: port accesses per byte of whole-block operations,
// CPU time per port access (link plus simulator), and how long an erase that never finishes
// takes to give up. Run the optimised build: bench_link --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "linksim/device.h"
#include "portio/device_port.h"
#include "portio/portio.h"
#include "tools/image_gen.h"

namespace {

// A simulated linker at 0x378 behind PortRead/PortWrite, bound in the given mode.
struct Bench {
    explicit Bench(bool spp, bool erase_hang = false) {
        imagegen::ImageSpec shape;
        shape.size_mbit = 32;
        image = imagegen::MakeImage(shape);
        auto store = linksim::MakeMemoryStore(image);
        cells = store->Data();
        linksim::Options options;
        options.spp = spp;
        options.erase_hang = erase_hang;
        device = std::make_unique<linksim::Device>(options, std::move(store));
        previous = portio::InstallBackend(portio::MakeDevicePort(device.get()));
        ResetLinkState();
        ResetBlockState();
        LinkState.DataPort = 0x378;
        LinkState.StatusPort = 0x379;
        LinkState.ControlPort = 0x37A;
        LinkState.EppAddressPort = 0x37B;
        LinkState.EppDataPort = 0x37C;
        LinkState.SppMode = spp;
    }
    ~Bench() { portio::InstallBackend(std::move(previous)); }

    std::uint64_t Accesses() const {
        return device->stats().port_reads + device->stats().port_writes;
    }

    std::vector<std::uint8_t> image;
    std::uint8_t* cells = nullptr;
    std::unique_ptr<linksim::Device> device;
    std::unique_ptr<portio::PortBackend> previous;
};

void Report(benchmark::State& state, const Bench& bench, std::uint64_t bytes) {
    const auto accesses = static_cast<double>(bench.Accesses());
    state.counters["accesses_per_byte"] = accesses / static_cast<double>(bytes);
    // Seconds per port access, from the measured time.
    state.counters["time_per_access"] =
        benchmark::Counter(accesses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

constexpr std::uint32_t kBlock = 0x22;  // on chip 1, above the first 64 KB

void BM_ReadBlock(benchmark::State& state) {
    Bench bench(state.range(0) != 0);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        ReadBlockPages(kBlock, 128);
        benchmark::DoNotOptimize(BlockBuffer.data());
        bytes += kBlockBytes;
    }
    Report(state, bench, bytes);
}

void BM_VerifyBlock(benchmark::State& state) {
    Bench bench(state.range(0) != 0);
    std::memcpy(BlockBuffer.data(), bench.image.data() + kBlock * kBlockBytes, kBlockBytes);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        if (VerifyBlockPages(kBlock, 128) != 0) state.SkipWithError("verify failed");
        bytes += kBlockBytes;
    }
    Report(state, bench, bytes);
}

// Programs a block with no 0xFF bytes, so every byte costs a full program cycle.
void BM_ProgramBlock(benchmark::State& state) {
    Bench bench(state.range(0) != 0);
    for (std::uint32_t i = 0; i < kBlockBytes; ++i) {
        BlockBuffer[i] = static_cast<std::uint8_t>(i * 37 % 255);  // never 0xFF
    }
    std::uint8_t* block = bench.cells + kBlock * kBlockBytes;
    std::uint64_t bytes = 0;
    std::uint64_t accesses = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memset(block, 0xFF, kBlockBytes);  // as if erased
        std::uint64_t before = bench.Accesses();
        state.ResumeTiming();
        if (ProgramBlock(kBlock) != 0) state.SkipWithError("program failed");
        accesses += bench.Accesses() - before;
        bytes += kBlockBytes;
    }
    Report(state, bench, bytes);
    state.counters["accesses_per_byte"] =
        static_cast<double>(accesses) / static_cast<double>(bytes);
    state.counters["time_per_access"] = benchmark::Counter(
        static_cast<double>(accesses), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// An erase whose DQ6 never settles: the time until EraseChip gives up and returns 1.
void BM_EraseNeverFinishes(benchmark::State& state) {
    Bench bench(state.range(0) != 0, true);
    SelectChip1();
    for (auto _ : state) {
        if (EraseChip() != 1) state.SkipWithError("erase did not time out");
    }
    state.counters["accesses"] = static_cast<double>(bench.Accesses());
}

// What the link check before every block (and after the last) of an operation adds to whole
// block reads and programs: the share of extra port accesses, in percent.
void BM_LinkCheckShare(benchmark::State& state) {
    Bench bench(state.range(0) != 0);
    const bool program = state.range(1) != 0;
    constexpr std::uint32_t kBlocks = 8;
    for (std::uint32_t i = 0; i < kBlockBytes; ++i) {
        BlockBuffer[i] = static_cast<std::uint8_t>(i * 37 % 255);
    }
    auto pass = [&](bool check) {
        const std::uint64_t before = bench.Accesses();
        for (std::uint32_t b = 0; b < kBlocks; ++b) {
            if (check && CheckLink() != 0) state.SkipWithError("the link check failed");
            if (program) {
                std::memset(bench.cells + (kBlock + b) * kBlockBytes, 0xFF, kBlockBytes);
                if (ProgramBlock(kBlock + b) != 0) state.SkipWithError("program failed");
            } else {
                ReadBlockPages(kBlock + b, 128);
            }
        }
        if (check && CheckLink() != 0) state.SkipWithError("the link check failed");
        return bench.Accesses() - before;
    };
    double share = 0;
    for (auto _ : state) {
        const auto plain = static_cast<double>(pass(false));
        const auto checked = static_cast<double>(pass(true));
        share = 100.0 * (checked - plain) / plain;
    }
    state.counters["check_share_percent"] = share;
}

BENCHMARK(BM_ReadBlock)->ArgName("spp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VerifyBlock)->ArgName("spp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramBlock)->ArgName("spp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinkCheckShare)
    ->ArgNames({"spp", "program"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EraseNeverFinishes)
    ->ArgName("spp")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
