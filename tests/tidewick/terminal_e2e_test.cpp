// Questions on a real terminal (a pseudo-terminal here): one key, no Enter, no echo, and the
// terminal's modes put back afterwards, also when Ctrl-C stops the program during the question.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);  // only a guard against a hung test

class Terminal : public TidewickRun {
  protected:
    void SetUp() override {
        TidewickRun::SetUp();
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave_, 0);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    void TearDown() override {
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
        TidewickRun::TearDown();
    }

    tcflag_t LocalModes() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t.c_lflag;
    }

    // Spins (no sleeping) until the program has switched the terminal for its key read.
    bool AwaitKeyRead() const {
        const auto deadline = Clock::now() + kPatience;
        while ((LocalModes() & ICANON) != 0) {
            if (Clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    int AwaitExit(pid_t pid) const {
        const auto deadline = Clock::now() + kPatience;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid, SIGKILL);
                Wait(pid);
                return -1;
            }
            std::this_thread::yield();
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string Screen() const {
        std::string out;
        char buf[4096];
        for (ssize_t n; (n = read(master_, buf, sizeof buf)) > 0;) out.append(buf, n);
        return out;
    }

    int master_ = -1;
    int slave_ = -1;
};

TEST_F(Terminal, OneKeyWithoutEnterOrEchoAndTheModesComeBack) {
    struct Case {
        const char* name;
        const char* key;  // nullptr: Ctrl-C instead
        int exit_code;
        const char* after_question;
    };
    const Case cases[] = {
        {"n answers at once", "n", 0, ""},
        {"Ctrl-C during the question", nullptr, 128 + SIGINT, "\rInterrupted!\r\n"},
    };
    const Bytes old_file = {1, 2, 3};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("old.bin", old_file);
        const tcflag_t before = LocalModes();
        ASSERT_NE(before & ICANON, 0u);
        ASSERT_NE(before & ECHO, 0u);
        pid_t pid = Start({"/b", "old.bin"}, {}, slave_, slave_, slave_);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(AwaitKeyRead());
        EXPECT_EQ(LocalModes() & ECHO, 0u);
        if (c.key != nullptr) {
            ASSERT_EQ(write(master_, c.key, 1), 1);
        } else {
            kill(pid, SIGINT);
        }
        EXPECT_EQ(AwaitExit(pid), c.exit_code);
        EXPECT_EQ(LocalModes(), before);
        // The terminal turns each newline into CR LF; the key is not echoed.
        EXPECT_EQ(Screen(),
                  std::string("Tidewick v1.01\r\n\r\nFilename: \"old.bin\".\r\nOverwrite file with "
                              "backup?\r\n") +
                      c.after_question);
        EXPECT_EQ(ReadFile("old.bin"), old_file);
    }
}

}  // namespace
}  // namespace tidewick_e2e
