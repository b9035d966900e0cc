// SIGINT, SIGTERM and SIGHUP stop a run at its next safe point: the linker is released (the
// simulator's counters are written on that normal way out), no temporary file is left, the old
// file stays, a line says so and the exit code is 128 + the signal. An ignored signal stays
// ignored.
#include <signal.h>
#include <unistd.h>

#include <string>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

constexpr std::uint32_t k4MiB = 0x400000;

using Interruption = TidewickRun;

TEST_F(Interruption, StopsAtTheNextSafePointAndExitsByTheSignal) {
    struct Case {
        const char* name;
        int sig;
        bool during_backup;  // else at the overwrite question
        bool pause_on_error;
    };
    const Case cases[] = {
        {"SIGTERM while the backup runs", SIGTERM, true, false},
        {"SIGINT while the backup runs, with /e", SIGINT, true, true},
        {"SIGHUP at the question", SIGHUP, false, false},
        {"SIGTERM at the question, with /e", SIGTERM, false, true},
    };
    const Bytes old_file(1000, 0x5A);
    MakeCart(k4MiB, SampleImage(0x10000));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("old.bin", old_file);
        std::vector<std::string> args = {"/b", "old.bin"};
        if (c.pause_on_error) args.push_back("/e");
        Session s = StartSession(args);
        ASSERT_GT(s.pid, 0);
        ASSERT_TRUE(ReadUntil(&s, "Overwrite file with backup?\n")) << s.out;
        if (c.during_backup) {
            Type(&s, "y");
            // Its progress lines now fill the pipe, which is read again only after the signal:
            // the backup cannot end before it.
            ASSERT_TRUE(ReadUntil(&s, "\rBacking up... 0x")) << s.out;
        }
        kill(s.pid, c.sig);
        Result r = Finish(&s);
        EXPECT_EQ(r.exit_code, 128 + c.sig);
        EXPECT_TRUE(r.out.ends_with("\rInterrupted!\n")) << r.out;
        EXPECT_EQ(r.out.find("Press any key"), std::string::npos);
        EXPECT_GT(r.Stat("port_writes"), 0u);  // the counters were written at exit
        // Stopped part-way: the cartridge was not read to its end.
        if (c.during_backup) {
            EXPECT_LT(r.Stat("flash_reads"), k4MiB);
        }
        EXPECT_EQ(ReadFile("old.bin"), old_file);
        EXPECT_TRUE(Leftovers().empty());
    }
}

TEST_F(Interruption, AnIgnoredHangupStaysIgnored) {
    MakeCart(k4MiB, SampleImage(0x10000));
    WriteFile("old.bin", Bytes(1000, 0x5A));
    // As nohup starts it: the program inherits the ignored disposition.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGHUP, &ignore, &previous);
    Session s = StartSession({"/b", "old.bin"});
    sigaction(SIGHUP, &previous, nullptr);
    ASSERT_GT(s.pid, 0);
    ASSERT_TRUE(ReadUntil(&s, "Overwrite file with backup?\n")) << s.out;
    kill(s.pid, SIGHUP);
    Type(&s, "y");
    Result r = Finish(&s);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out.find("Interrupted"), std::string::npos);
    EXPECT_EQ(ReadFile("old.bin"), Cart());
}

}  // namespace
}  // namespace tidewick_e2e
