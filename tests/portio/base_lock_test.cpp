// One program at a time on a port: the lock file per base, held by one process and refused to
// any other until it ends.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include "portio/backends.h"

namespace {

namespace fs = std::filesystem;

class BaseLock : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "base-lock-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<portio::BaseLocks> Lock(std::span<const std::uint16_t> bases,
                                            portio::Refusal* refusal) const {
        return portio::LockBasesIn(dir_, bases, refusal);
    }

    std::string dir_;
};

TEST_F(BaseLock, AnotherProcessHoldingABaseIsRefusedUntilItEnds) {
    const std::array<std::uint16_t, 2> bases{0x378, 0xD010};
    int ready[2];
    int finish[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(finish), 0);
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        portio::Refusal refusal;
        auto held = Lock(std::array<std::uint16_t, 1>{0xD010}, &refusal);
        char c = held ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(2);
        if (read(finish[0], &c, 1) < 0) _exit(3);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    portio::Refusal refusal;
    EXPECT_EQ(Lock(bases, &refusal), nullptr);
    EXPECT_TRUE(refusal.in_use);
    EXPECT_EQ(refusal.why, "the flash linker at 0xD010 is in use by another program");
    // Nothing is kept of a refused attempt: the first base is free again.
    portio::Refusal first_refusal;
    auto first = Lock(std::array<std::uint16_t, 1>{0x378}, &first_refusal);
    EXPECT_NE(first, nullptr) << first_refusal.why;
    first.reset();

    ASSERT_EQ(write(finish[1], "x", 1), 1);
    int status = 0;
    waitpid(holder, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    refusal = {};
    EXPECT_NE(Lock(bases, &refusal), nullptr) << refusal.why;
    for (int fd : {ready[0], ready[1], finish[0], finish[1]}) close(fd);
}

TEST_F(BaseLock, TheLockFileIsReadableByEveryUser) {
    const mode_t before = umask(077);
    portio::Refusal refusal;
    auto held = Lock(std::array<std::uint16_t, 1>{0x278}, &refusal);
    umask(before);
    ASSERT_NE(held, nullptr);
    const std::string path = portio::BaseLockPath(dir_, 0x278);
    EXPECT_EQ(path, dir_ + "/flash-linker-278.lock");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // A second holder in this process is another holder too.
    refusal = {};
    EXPECT_EQ(Lock(std::array<std::uint16_t, 1>{0x278}, &refusal), nullptr);
    EXPECT_TRUE(refusal.in_use);
}

// Where no lock can be had the program goes on unguarded, and a planted FIFO does not block it.
TEST_F(BaseLock, WithoutAUsableLockFileThePortGoesUnguarded) {
    ASSERT_EQ(mkfifo(portio::BaseLockPath(dir_, 0x3BC).c_str(), 0666), 0);
    portio::Refusal refusal;
    EXPECT_NE(Lock(std::array<std::uint16_t, 1>{0x3BC}, &refusal), nullptr);
    EXPECT_NE(portio::LockBasesIn(dir_ + "/missing", std::array<std::uint16_t, 1>{0x378}, &refusal),
              nullptr);
    EXPECT_FALSE(refusal.in_use);
}

}  // namespace
