// What the kernel's parallel-port device costs each program's bulk paths: the verify, backup
// (read) and program paths of both links run through the ppdev backend against a model of the
// kernel (bench/ppdev_kernel_model.h), once per chipset kind. One line per path and kind:
//   tidewick-backup epp syscalls_per_byte=0.0040 bus_per_access=1.003
// syscalls_per_byte: system calls per cartridge byte the path reads, verifies or programs.
// bus_per_access: the kernel's accesses to the port's registers for each port access the link's
// cycles count (tidewick's reads count their control write, which a run makes only once).
// tidewick's bulk loops live with its operations; here they are the same loops over its link:
// the full address at every multiple of 256, then that block's bytes.
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "bench/ppdev_kernel_model.h"
#include "cartloom/link/bus.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "linksim/device.h"
#include "portio/ppdev_linux.h"
#include "tidewick/link.h"
#include "tidewick/settings.h"
#include "tools/image_gen.h"

namespace {

constexpr std::uint16_t kBase = 0x378;
constexpr std::uint32_t kReadBlocks = 4;        // cartloom blocks read and verified
constexpr std::uint32_t kFirstBlock = 0x22;     // on chip 1, above the first 64 KB
constexpr std::uint32_t kProgramBytes = 0x800;  // bytes each program path programs
constexpr std::uint32_t kPage = 256;

// Counts the port accesses the link's cycles make, in front of the backend under test.
class CountingPort final : public portio::PortBackend {
  public:
    explicit CountingPort(std::unique_ptr<portio::PortBackend> inner) : inner_(std::move(inner)) {}
    std::uint8_t Read(std::uint16_t port) override {
        ++accesses;
        return inner_->Read(port);
    }
    void Write(std::uint16_t port, std::uint8_t value) override {
        ++accesses;
        inner_->Write(port, value);
    }
    void ReadRun(std::uint16_t port, std::uint8_t* out, std::size_t n) override {
        accesses += n;
        inner_->ReadRun(port, out, n);
    }
    std::uint64_t accesses = 0;

  private:
    std::unique_ptr<portio::PortBackend> inner_;
};

struct Path {
    const char* name;
    // Runs the path and returns the cartridge bytes it handled.
    std::function<std::uint32_t(const std::vector<std::uint8_t>& image)> run;
};

void BindCartloom() {
    ResetLinkState();
    ResetBlockState();
    LinkState.DataPort = kBase;
    LinkState.StatusPort = kBase + 1;
    LinkState.ControlPort = kBase + 2;
    LinkState.EppAddressPort = kBase + 3;
    LinkState.EppDataPort = kBase + 4;
    LinkState.SppMode = false;
}

std::uint32_t CartloomRead(const std::vector<std::uint8_t>&) {
    BindCartloom();
    for (std::uint32_t b = 0; b < kReadBlocks; ++b) ReadBlockPages(kFirstBlock + b, 128);
    return kReadBlocks * kBlockBytes;
}

std::uint32_t CartloomVerify(const std::vector<std::uint8_t>& image) {
    BindCartloom();
    for (std::uint32_t b = 0; b < kReadBlocks; ++b) {
        const std::uint32_t block = kFirstBlock + b;
        std::memcpy(BlockBuffer.data(), image.data() + block * kBlockBytes, kBlockBytes);
        if (VerifyBlockPages(block, 128) != 0) std::fprintf(stderr, "cartloom verify failed\n");
    }
    return kReadBlocks * kBlockBytes;
}

// A blank block (the cartridge is erased above the image) programmed from the image's bytes.
std::uint32_t CartloomProgram(const std::vector<std::uint8_t>& image) {
    BindCartloom();
    const std::uint32_t block = 0x70;
    std::memset(BlockBuffer.data(), 0xFF, kBlockBytes);
    std::memcpy(BlockBuffer.data(), image.data(), kProgramBytes);
    if (ProgramBlock(block) != 0) std::fprintf(stderr, "cartloom program failed\n");
    return kProgramBytes;
}

// The control writes tidewick's cycles make before every ReadData and a run leaves out after its
// first (they change no line).
std::uint64_t g_runs_control_writes = 0;

// tidewick's bulk loops: the full address again at every multiple of 256, then the block's
// bytes as one run.
void ReadTidewickBlock(std::uint32_t address, std::uint8_t* out) {
    tidewick::SetAddress(address, true);
    tidewick::ReadDataRun(out, kPage);
    g_runs_control_writes += kPage - 1;
}

std::uint32_t TidewickVerify(const std::vector<std::uint8_t>& image) {
    tidewick::LinkerPort = kBase;
    const std::uint32_t first = kFirstBlock * kBlockBytes;
    const std::uint32_t bytes = kReadBlocks * kBlockBytes;
    std::uint8_t block[kPage];
    for (std::uint32_t offset = first; offset < first + bytes; offset += kPage) {
        ReadTidewickBlock(offset, block);
        if (std::memcmp(block, image.data() + offset, kPage) != 0) {
            std::fprintf(stderr, "tidewick verify failed\n");
            break;
        }
    }
    return bytes;
}

std::uint32_t TidewickBackup(const std::vector<std::uint8_t>&) {
    tidewick::LinkerPort = kBase;
    const std::uint32_t first = kFirstBlock * kBlockBytes;
    const std::uint32_t bytes = kReadBlocks * kBlockBytes;
    std::vector<std::uint8_t> out(bytes);
    for (std::uint32_t offset = 0; offset < bytes; offset += kPage) {
        ReadTidewickBlock(first + offset, out.data() + offset);
    }
    return bytes;
}

std::uint32_t TidewickProgram(const std::vector<std::uint8_t>& image) {
    tidewick::LinkerPort = kBase;
    const std::uint32_t first = 0x380000;
    for (std::uint32_t i = 0; i < kProgramBytes; ++i) {
        if (tidewick::FlashByte(first + i, image[i], 3) != 0) {
            std::fprintf(stderr, "tidewick program failed\n");
            break;
        }
    }
    return kProgramBytes;
}

const Path kPaths[] = {
    {"cartloom-read", CartloomRead},       {"cartloom-verify", CartloomVerify},
    {"cartloom-program", CartloomProgram}, {"tidewick-verify", TidewickVerify},
    {"tidewick-backup", TidewickBackup},   {"tidewick-program", TidewickProgram},
};

struct Kind {
    const char* name;
    kernelmodel::Chipset chipset;
};

const Kind kKinds[] = {{"epp", kernelmodel::Chipset::Epp},
                       {"ecpepp", kernelmodel::Chipset::EcpEpp}};

}  // namespace

int main() {
    imagegen::ImageSpec spec;
    spec.size_mbit = 32;
    const std::vector<std::uint8_t> image = imagegen::MakeImage(spec);
    for (const Path& path : kPaths) {
        for (const Kind& kind : kKinds) {
            // The cartridge holds the image below 0x380000 and is erased from there on.
            std::vector<std::uint8_t> cart = image;
            std::fill(cart.begin() + 0x380000, cart.end(), 0xFF);
            linksim::Device device(linksim::Options{}, linksim::MakeMemoryStore(cart));
            kernelmodel::Attach(&device, kBase, kind.chipset);
            kernelmodel::Tree tree(kBase, kind.chipset);
            portio::Refusal refusal;
            const std::uint16_t bases[] = {kBase};
            auto ppdev =
                portio::ppdev::Open(bases, kernelmodel::Syscalls(), tree.roots(), &refusal);
            if (!ppdev) {
                std::fprintf(stderr, "ppdev: %s\n", refusal.why.c_str());
                return 1;
            }
            auto counting = std::make_unique<CountingPort>(std::move(ppdev));
            CountingPort* counter = counting.get();
            auto previous = portio::InstallBackend(std::move(counting));
            kernelmodel::Count() = {};
            g_runs_control_writes = 0;
            const std::uint32_t bytes = path.run(cart);
            const kernelmodel::Counters used = kernelmodel::Count();
            const std::uint64_t accesses = counter->accesses + g_runs_control_writes;
            portio::InstallBackend(std::move(previous));
            std::printf("%s %s syscalls_per_byte=%.4f bus_per_access=%.3f\n", path.name, kind.name,
                        static_cast<double>(used.syscalls) / bytes,
                        static_cast<double>(used.bus) / static_cast<double>(accesses));
        }
    }
    return 0;
}
