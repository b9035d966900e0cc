// A linker pulled out at any point of a run (unplug-after=N) ends it as a failure, never as a
// success on the 0xFF bytes a silent linker reads: sweeps over N through each operation.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

constexpr std::uint32_t k1MiB = 0x100000;
// DetectLinker's accesses: before the last of them the linker is simply not found.
constexpr std::uint64_t kDetectAccesses = 20;
// ReleaseLink's four writes at exit come after the operations have ended.
constexpr std::uint64_t kReleaseAccesses = 4;

struct Sweep {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    Bytes cart;  // the cartridge file before every run
    Bytes file;  // "f.bin" before every run; empty: no such file
};

struct Tally {
    int runs = 0;
    int clean_failures = 0;
    int successes = 0;  // the unplug came after the operations had ended
    int false_successes = 0;
};

class LinkLoss : public TidewickRun {
  protected:
    void Prepare(const Sweep& s) const {
        WriteFile("cart.bin", s.cart);
        if (s.file.empty()) {
            Remove("f.bin");
        } else {
            WriteFile("f.bin", s.file);
        }
    }

    Tally RunSweep(const Sweep& s) {
        Prepare(s);
        const Result clean = Run(s.args, s.input);
        EXPECT_EQ(clean.exit_code, 0) << clean.out;
        const Bytes clean_cart = Cart();
        const Bytes clean_file = ReadFile("f.bin");
        const std::uint64_t total = clean.Stat("port_reads") + clean.Stat("port_writes");

        // A few points in the start-up and the first block, spread through the rest, and
        // close to the end, where the last check and the release lie.
        std::vector<std::uint64_t> points = {0, 10, kDetectAccesses, 70, 90};
        for (double f : {0.001, 0.003, 0.01, 0.03, 0.1, 0.3, 0.5, 0.7, 0.9, 0.97, 0.99, 0.999}) {
            points.push_back(100 +
                             static_cast<std::uint64_t>(static_cast<double>(total - 100) * f));
        }
        for (std::uint64_t back : {30, 20, 10, 5, 4, 0}) points.push_back(total - back);

        Tally tally;
        for (std::uint64_t n : points) {
            SCOPED_TRACE(std::string(s.name) + " unplug-after=" + std::to_string(n));
            Prepare(s);
            Env env;
            env.linksim_opts = "unplug-after=" + std::to_string(n);
            const Result r = Run(s.args, s.input, env);
            ++tally.runs;
            EXPECT_TRUE(Leftovers().empty());
            if (r.exit_code == 0) {
                const bool finished = n + kReleaseAccesses >= total;
                const bool same =
                    r.out == clean.out && Cart() == clean_cart && ReadFile("f.bin") == clean_file;
                if (finished && same) {
                    ++tally.successes;
                } else {
                    ++tally.false_successes;
                    ADD_FAILURE() << "success on a run the unplug cut short:\n" << r.out;
                }
                continue;
            }
            EXPECT_EQ(r.exit_code, 1) << r.out;
            const bool said =
                n < kDetectAccesses
                    ? r.out.find("could not be found at port") != std::string::npos
                    : r.out.find("\rFlash Linker stopped answering at 0x") != std::string::npos;
            EXPECT_TRUE(said) << r.out;
            // What the run must leave alone when it fails: the file it was to replace or
            // compare, and the cartridge except where /w had begun to write.
            bool kept = ReadFile("f.bin") == s.file;
            if (s.args.front() != "/w") kept = kept && Cart() == s.cart;
            EXPECT_TRUE(kept);
            // The header of a silent linker is never shown.
            EXPECT_EQ(r.out.find("License string"), std::string::npos) << r.out;
            if (r.exit_code == 1 && said && kept) ++tally.clean_failures;
        }
        return tally;
    }
};

TEST_F(LinkLoss, NoOperationSucceedsOnASilentLinker) {
    Bytes on_cart = SampleImage(k1MiB, false, 7);
    on_cart.resize(k1MiB, 0xFF);
    Bytes image = SampleImage(0x10000, false, 3);  // two 32 KB blocks
    Bytes old_backup(1000, 0x5A);
    const Sweep sweeps[] = {
        {"/w /y", {"/w", "/y", "f.bin"}, "", on_cart, image},
        {"/v", {"/v", "f.bin"}, "", on_cart, Bytes(on_cart.begin(), on_cart.begin() + 0x10000)},
        {"/b", {"/b", "f.bin"}, "y", on_cart, old_backup},
        {"/i", {"/i"}, "", on_cart, {}},
    };
    std::string table = "operation  runs  clean failures  successes  false successes\n";
    for (const Sweep& s : sweeps) {
        Tally t = RunSweep(s);
        EXPECT_EQ(t.false_successes, 0) << s.name;
        EXPECT_EQ(t.clean_failures + t.successes, t.runs) << s.name;
        char line[100];
        std::snprintf(line, sizeof line, "%-9s  %4d  %14d  %9d  %15d\n", s.name, t.runs,
                      t.clean_failures, t.successes, t.false_successes);
        table += line;
    }
    std::cout << table;
}

}  // namespace
}  // namespace tidewick_e2e
