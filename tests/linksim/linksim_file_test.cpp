// The cartridge file and LINKSIM_OPTS: what lands in the file, what is refused, the counters.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "linksim/device.h"
#include "tests/linksim/bus.h"
#include "tests/support/recording_port.h"

namespace {

namespace fs = std::filesystem;
using simtest::Bus;

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/linksim-test-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string File(const char* name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

std::vector<std::uint8_t> Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// Installs the device as the port backend for one scope.
class Attached {
  public:
    explicit Attached(std::unique_ptr<linksim::Device> device) : device_(device.get()) {
        previous_ = portio::InstallBackend(std::make_unique<testsupport::RecordingPort>(device_));
        owned_ = std::move(device);
    }
    ~Attached() {
        portio::InstallBackend(std::move(previous_));
        owned_.reset();
    }
    linksim::Device& device() { return *device_; }

  private:
    linksim::Device* device_;
    std::unique_ptr<linksim::Device> owned_;
    std::unique_ptr<portio::PortBackend> previous_;
};

std::unique_ptr<linksim::Device> Open(const std::string& file, const std::string& opts = "") {
    std::string error;
    auto device = linksim::OpenDevice(file, opts, &error);
    EXPECT_TRUE(device) << error;
    return device;
}

TEST(CartFile, MissingFileBecomesABlankFourMegabyteCartridge) {
    TempDir dir;
    std::string path = dir.File("new.bin");
    Open(path);
    auto bytes = Slurp(path);
    ASSERT_EQ(bytes.size(), 0x400000u);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xFF), 0x400000);
}

TEST(CartFile, ProgramAndEraseLandInTheFileSeenByAnotherProcess) {
    TempDir dir;
    std::string path = dir.File("cart.bin");
    WriteFile(path, std::vector<std::uint8_t>(0x200000, 0x00));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child erases a sector and programs one byte, then ends without any cleanup.
        Attached sim(linksim::OpenDevice(path, "", nullptr));
        Bus bus;
        bus.Enable(0x02);
        bus.EraseSector(0x010000);
        if (bus.WaitReady(0x010000) < 0) _exit(2);
        bus.Program(0x010005, 0x5A);
        if (bus.WaitReady(0x010005) < 0) _exit(3);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    Attached sim(Open(path));
    Bus bus;
    bus.Enable(0x02);
    EXPECT_EQ(bus.ReadAt(0x010005), 0x5A);
    EXPECT_EQ(bus.ReadAt(0x010006), 0xFF);
    EXPECT_EQ(bus.ReadAt(0x00FFFF), 0x00);
    EXPECT_EQ(bus.ReadAt(0x020000), 0x00);
}

// One program at a time, as on a real linker: a second process that opens the file while the
// first holds it is refused and changes nothing; once the first is gone it may.
TEST(CartFile, ASecondProcessIsRefusedWhileTheFirstHoldsTheFile) {
    TempDir dir;
    std::string path = dir.File("cart.bin");
    WriteFile(path, std::vector<std::uint8_t>(0x100000, 0x5A));
    int ready[2];
    int finish[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(finish), 0);
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        std::string error;
        auto device = linksim::OpenDevice(path, "", &error);
        char c = device ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(2);
        if (read(finish[0], &c, 1) < 0) _exit(3);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    std::string error;
    EXPECT_EQ(linksim::OpenDevice(path, "", &error), nullptr);
    EXPECT_EQ(error, "LINKSIM: '" + path +
                         "' is in use by another program (a simulated linker serves one program "
                         "at a time)");
    EXPECT_EQ(Slurp(path), std::vector<std::uint8_t>(0x100000, 0x5A));

    ASSERT_EQ(write(finish[1], "x", 1), 1);
    int status = 0;
    waitpid(holder, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(Open(path), nullptr);
    for (int fd : {ready[0], ready[1], finish[0], finish[1]}) close(fd);
}

// Another program may still shorten the file (the lock is advisory). The pages past its new end
// are gone from the mapping: the linker stops answering, once said on stderr, and the process
// lives on.
TEST(CartFile, AFileShrunkDuringTheRunEndsTheAnswersNotTheProcess) {
    TempDir dir;
    std::string path = dir.File("cart.bin");
    std::vector<std::uint8_t> cart(0x400000, 0x00);
    cart[0x300000] = 0x42;
    WriteFile(path, cart);
    Attached sim(Open(path));
    Bus bus;
    bus.Enable(0x01);  // chip 2
    ASSERT_EQ(bus.ReadAt(0x100000), 0x42);
    ASSERT_EQ(truncate(path.c_str(), 0x100000), 0);

    testing::internal::CaptureStderr();
    EXPECT_EQ(bus.ReadAt(0x100000), 0xFF);  // chip 2's first byte lay past the new end
    bus.Program(0x100001, 0x00);
    bus.Enable(0x02);
    EXPECT_EQ(bus.ReadAt(0x000000), 0xFF);  // still in the file, but the linker is gone
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "LINKSIM: '" + path +
                  "' shrank while the simulated linker used it; the linker stops answering\n");
    EXPECT_EQ(fs::file_size(path), 0x100000u);
}

// A bus error that is not a guarded cartridge's still ends the process.
TEST(CartFile, OtherBusErrorsAreLeftAlone) {
    TempDir dir;
    std::string path = dir.File("cart.bin");
    WriteFile(path, std::vector<std::uint8_t>(0x100000, 0x00));
    Attached sim(Open(path));  // the guard is in place
    const std::string other = dir.File("other.bin");
    WriteFile(other, std::vector<std::uint8_t>(0x10000, 0x00));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = open(other.c_str(), O_RDWR);
        void* map = mmap(nullptr, 0x10000, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED || ftruncate(fd, 0) != 0) _exit(2);
        volatile std::uint8_t byte = static_cast<std::uint8_t*>(map)[0x8000];
        (void)byte;
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
}

struct Refusal {
    const char* what;
    std::size_t file_size;  // 0: no file
    const char* opts;
    const char* message_part;
};

TEST(CartFile, RefusalsNameTheProblemAndChangeNothing) {
    const Refusal cases[] = {
        {"odd length", 1000, "", "1000 bytes"},
        {"empty file", 0x0, "", "0 bytes"},
        {"one byte over", 0x200001, "", "2097153 bytes"},
        {"unknown word", 0x200000, "turbo", "unknown option 'turbo'"},
        {"base without room for five registers", 0x200000, "base=0xfffc", "base=0xfffc"},
        {"base not hexadecimal", 0x200000, "base=0x37g", "base=0x37g"},
        {"bad stuck", 0x200000, "stuck=xyz", "stuck=xyz"},
        {"stuck out of range", 0x200000, "stuck=400000", "stuck=400000"},
        {"bad count", 0x200000, "program-reads=-1", "program-reads=-1"},
        {"value on a flag", 0x200000, "spp=1", "spp=1"},
        {"flag given a value", 0x200000, "stats=", "stats="},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string path = dir.File("cart.bin");
        std::vector<std::uint8_t> original(c.file_size, 0x3C);
        WriteFile(path, original);
        std::string error;
        EXPECT_EQ(linksim::OpenDevice(path, c.opts, &error), nullptr);
        EXPECT_NE(error.find(c.message_part), std::string::npos) << error;
        EXPECT_EQ(Slurp(path), original);
    }
}

TEST(CartFile, BadOptionsCreateNoFile) {
    TempDir dir;
    std::string path = dir.File("never.bin");
    std::string error;
    EXPECT_EQ(linksim::OpenDevice(path, "spp,bogus", &error), nullptr);
    EXPECT_FALSE(fs::exists(path));
}

TEST(Options, EveryWordParses) {
    linksim::Options o;
    std::string error;
    ASSERT_TRUE(linksim::ParseOptions(
        "base=0x3bc,spp,nolinker,nocart,stuck=1F8000,erase-hang,unplug-after=99,"
        "program-reads=7,erase-reads=8,stats=/tmp/x",
        &o, &error))
        << error;
    EXPECT_EQ(o.base, 0x3BC);
    EXPECT_TRUE(o.spp && o.nolinker && o.nocart && o.erase_hang);
    EXPECT_EQ(o.stuck, 0x1F8000u);
    EXPECT_EQ(o.unplug_after, 99u);
    EXPECT_EQ(o.program_reads, 7u);
    EXPECT_EQ(o.erase_reads, 8u);
    EXPECT_EQ(o.stats_file, "/tmp/x");
}

TEST(Options, BaseMovesTheLinkerAnywhereWithRoomForFiveRegisters) {
    for (int at : {0x278, 0xD010, 0x0000, 0xFFFB}) {
        TempDir dir;
        char opts[32];
        std::snprintf(opts, sizeof opts, "base=%x", at);
        Attached sim(Open(dir.File("c.bin"), opts));
        EXPECT_EQ(sim.device().Base(), at);
        for (int base : {0x378, 0x278, 0x3BC, 0xD010, 0x0000, 0xFFFB}) {
            Bus bus{false, static_cast<std::uint16_t>(base)};
            bus.SetReg(1, 0x12);
            EXPECT_EQ(bus.GetReg(1), base == at ? 0x12 : 0xFF) << std::hex << at << " " << base;
        }
    }
}

TEST(Stats, CountersAreWrittenWhenTheDeviceCloses) {
    TempDir dir;
    std::string stats = dir.File("stats.txt");
    {
        Attached sim(Open(dir.File("c.bin"), "stats=" + stats));
        Bus bus;
        bus.Enable(0x02);
        bus.Program(0x100, 0x00);
        bus.WaitReady(0x100);
    }
    std::ifstream in(stats);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("program_commands=1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("programmed_low=000100\n"), std::string::npos) << text;
    EXPECT_NE(text.find("port_writes="), std::string::npos);
}

}  // namespace
