// Two tidewick runs on one simulated linker at once: the first holds it while it waits at a
// question, the second refuses at start and touches nothing. And a cartridge file that another
// program shortens while tidewick uses it ends the linker's answers, not the process.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);  // only a guard against a hung test

// A run started with pipes for its input and output, that waits at its first question.
class WaitingRun {
  public:
    // `start` runs tidewick with the given standard input and output.
    explicit WaitingRun(const std::function<pid_t(int in, int out)>& start) {
        if (pipe(in_) != 0 || pipe(out_) != 0) return;
        fcntl(out_[0], F_SETFL, O_NONBLOCK);
        pid_ = start(in_[0], out_[1]);
        close(in_[0]);
        close(out_[1]);
        in_[0] = out_[1] = -1;
    }
    ~WaitingRun() {
        if (pid_ > 0 && exit_code_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {in_[0], in_[1], out_[0], out_[1]}) {
            if (fd >= 0) close(fd);
        }
    }

    // Reads its output (it flushes before every question) until `text` has appeared.
    bool AwaitOutput(const std::string& text) {
        const auto deadline = Clock::now() + kPatience;
        while (out.find(text) == std::string::npos) {
            char buf[4096];
            ssize_t n = read(out_[0], buf, sizeof buf);
            if (n > 0) {
                out.append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || Clock::now() > deadline) {
                return false;
            } else {
                std::this_thread::yield();
            }
        }
        return true;
    }

    // Answers with `key`, reads the rest and returns the exit code.
    int Answer(char key) {
        if (write(in_[1], &key, 1) != 1) return -1;
        close(in_[1]);
        in_[1] = -1;
        fcntl(out_[0], F_SETFL, 0);
        char buf[4096];
        for (ssize_t n; (n = read(out_[0], buf, sizeof buf)) > 0;) {
            out.append(buf, static_cast<std::size_t>(n));
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exit_code_;
    }

    std::string out;

  private:
    int in_[2] = {-1, -1};
    int out_[2] = {-1, -1};
    pid_t pid_ = -1;
    int exit_code_ = -1;
};

class SharedLinker : public TidewickRun {
  protected:
    std::function<pid_t(int, int)> Starter(const std::vector<std::string>& args) {
        return [this, args](int in, int out) { return Start(args, {}, in, out, out); };
    }
};

TEST_F(SharedLinker, ASecondRunRefusesWhileTheFirstHoldsTheLinker) {
    const Bytes image = SampleImage(0x80000);
    MakeCart(0x400000, SampleImage(0x80000, false, 7));
    const Bytes before = Cart();
    WriteFile("game.ngp", image);
    WriteFile("old.bin", {1, 2, 3});

    WaitingRun first(Starter({"/b", "old.bin"}));
    ASSERT_TRUE(first.AwaitOutput("Overwrite file with backup?\n")) << first.out;

    Result second = Run({"/w", "/y", "game.ngp"});
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_EQ(second.out, kBanner + Filename("game.ngp") +
                              "LINKSIM: 'cart.bin' is in use by another program (a simulated "
                              "linker serves one program at a time)\n");
    EXPECT_EQ(Cart(), before);

    EXPECT_EQ(first.Answer('n'), 0) << first.out;
    // Once the first has ended the linker is free again.
    EXPECT_EQ(Run({"/w", "/y", "game.ngp"}).exit_code, 0);
}

TEST_F(SharedLinker, ACartridgeFileShortenedDuringARunDoesNotKillIt) {
    MakeCart(0x400000, SampleImage(0x80000));
    WriteFile("old.bin", {1, 2, 3});
    WaitingRun run(Starter({"/b", "old.bin"}));
    ASSERT_TRUE(run.AwaitOutput("Overwrite file with backup?\n")) << run.out;
    ASSERT_EQ(truncate(Path("cart.bin").c_str(), 0x100000), 0);
    const int exit_code = run.Answer('y');
    EXPECT_LT(exit_code, 128) << "ended by signal " << exit_code - 128 << "\n" << run.out;
    EXPECT_NE(run.out.find("LINKSIM: 'cart.bin' shrank while the simulated linker used it; the "
                           "linker stops answering\n"),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace tidewick_e2e
