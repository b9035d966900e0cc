// Files the user has are replaced only by a complete backup, and only where that is safe; files
// that are not plain images are refused before the cartridge is erased.
#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

constexpr std::uint32_t k1MiB = 0x100000;

class Files : public TidewickRun {
  protected:
    void SetUp() override {
        TidewickRun::SetUp();
        cart_ = SampleImage(k1MiB, false, 5);
        WriteFile("cart.bin", cart_);
    }
    Bytes cart_;
};

// `tidewick /b f >&-`: without this the backup would take descriptor 1 and the progress lines.
TEST_F(Files, ClosedStandardDescriptorsAreNotReused) {
    pid_t pid = Start({"/b", "f.bin"}, {}, -1, -1, -1);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(Wait(pid), 0);
    EXPECT_EQ(ReadFile("f.bin"), cart_);
}

}  // namespace
}  // namespace tidewick_e2e
