// The operations without the window: a stand-in records what they show, and the simulated
// linker stands behind the port.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/block_loop.h"
#include "cartloom/ops/image_file.h"
#include "cartloom/ops/image_transfer.h"
#include "cartloom/ops/link_check.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/window.h"
#include "tests/support/recording_port.h"

namespace {

class FakeWindow final : public OperationWindow {
  public:
    void LogLine(std::string_view line) override { log.emplace_back(line); }
    void SetProgress(std::uint16_t position) override { bar.push_back(position); }
    void SetProgressMaximum(std::uint16_t maximum) override { bar_maximum = maximum; }
    void SetCaption(StatusCaption, std::string_view) override {}
    void ShowOperationRunning(bool) override {}
    void PumpMessages() override {
        ++pumps;
        if (on_pump) on_pump();
    }
    bool ChooseFile(FileDialog, std::string*) override { return false; }

    std::vector<std::string> log;
    std::vector<int> bar;
    int bar_maximum = -1;
    int pumps = 0;
    std::function<void()> on_pump;
};

class Operations : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLinkState();
        ResetBlockState();
        ResetDetectionState();
        ResetOperationState();
        SetOperationWindow(&window);
    }
    void TearDown() override {
        SetOperationWindow(nullptr);
        ResetOperationState();
        ResetLinkState();
    }
    FakeWindow window;
};

TEST_F(Operations, BlockLoopStopsAtAStopRequestAFailedBlockOrASilentLinker) {
    struct Case {
        const char* name;
        int stop_before;  // block before which Stop is clicked, -1 for none
        int fail_at;      // block whose work fails, -1 for none
        int pull_at;      // block during which the cable is pulled, -1 for none
        bool result;
        std::vector<int> done;  // blocks whose work ran
        std::vector<std::string> log;
        std::vector<int> bar;
    };
    const std::string lost = "Flash Linker not answering!!!";
    const Case cases[] = {
        {"all blocks", -1, -1, -1, true, {0, 1, 2}, {"Process time = 0 Sec"}, {0, 0, 10, 20, 30}},
        {"Stop before block 1", 1, -1, -1, false, {0}, {"Stop process !!!"}, {0, 0, 10, 0}},
        {"block 1 fails", -1, 1, -1, false, {0, 1}, {}, {0, 0, 10}},
        {"cable pulled during block 1", -1, -1, 1, false, {0, 1}, {lost}, {0, 0, 10, 20}},
        {"cable pulled during the last block", -1, -1, 2, false, {0, 1, 2}, {lost}, {0, 0, 10, 20}},
        {"block 1 fails as the cable is pulled", -1, 1, 1, false, {0, 1}, {lost}, {0, 0, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::SimulatedLink link;
        link.port().set_recording(false);
        ASSERT_TRUE(FindLink());
        std::unique_ptr<portio::PortBackend> plugged;
        window = FakeWindow{};
        BeginOperation();
        window.log.clear();
        window.bar.clear();
        std::vector<int> done;
        window.on_pump = [&] {
            if (int(done.size()) == c.stop_before) StopRequested = true;
        };
        const bool ok = RunBlockLoop(3, 10, 30, [&](std::uint32_t i) {
            done.push_back(int(i));
            // Nothing behind the port any more: every read gives 0xFF.
            if (int(i) == c.pull_at) {
                plugged = portio::InstallBackend(std::make_unique<testsupport::RecordingPort>());
            }
            return int(i) != c.fail_at;
        });
        EXPECT_EQ(ok, c.result);
        EXPECT_EQ(done, c.done);
        EXPECT_EQ(window.log, c.log);
        EXPECT_EQ(window.bar, c.bar);
        EXPECT_EQ(window.bar_maximum, 30);
        EXPECT_EQ(LinkAnswered, c.pull_at < 0);
        EndOperation();
        if (plugged) portio::InstallBackend(std::move(plugged));
    }
}

// A write and a verify of an image file through the loop, with the link on the simulator.
TEST_F(Operations, TransferImageProgramsAndVerifiesTheLoadedFile) {
    const std::string path = testing::TempDir() + "cartloom_ops_image.bin";
    std::vector<std::uint8_t> image(2 * kBlockBytes);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = std::uint8_t(i * 7 + i / 251);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
    std::fclose(f);

    testsupport::SimulatedLink link;
    link.port().set_recording(false);
    ASSERT_TRUE(FindLink());
    OpenDialog1FileName = path;
    for (bool verify : {false, true}) {
        SCOPED_TRACE(verify ? "verify" : "write");
        window.log.clear();
        ASSERT_TRUE(LoadImageFile(false));
        EXPECT_TRUE(TransferImage(verify, 0));
        EXPECT_EQ(window.log,
                  (std::vector<std::string>{"File size = 65536", "Process time = 0 Sec"}));
        EXPECT_EQ(window.bar_maximum, 64);  // KiB: the image is longer than 65535 bytes
        CloseImageFile();
    }
    EXPECT_EQ(0, std::memcmp(link.device().Cart(), image.data(), image.size()));
    std::filesystem::remove(path);
}

}  // namespace
