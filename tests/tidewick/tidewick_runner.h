// Runs the built tidewick as a user would: in a scratch folder holding the simulated
// cartridge file, with LINKSIM/LINKSIM_OPTS/TWKPORT as given and standard input fed from a
// string (empty: end of input at once).
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tidewick_e2e {

using Bytes = std::vector<std::uint8_t>;

struct Result {
    int exit_code = -1;
    std::string out;
    std::string err;
    std::map<std::string, std::uint64_t> stats;  // linksim counters of the run
    std::uint64_t Stat(const std::string& name) const {
        auto it = stats.find(name);
        return it == stats.end() ? 0 : it->second;
    }
};

struct Env {
    std::string linksim_opts;            // stats=... is added
    std::optional<std::string> twkport;  // unset when empty
    bool linksim = true;                 // LINKSIM=cart.bin
    // Run as root without its power over file permissions (CI runs as root), so that a
    // read-only file is read-only to the program too. See CanHonourPermissions.
    bool honour_permissions = false;
};

// A run whose standard input and output are pipes the test holds, to act while it waits.
struct Session {
    pid_t pid = -1;
    int input = -1;   // the program's standard input, write end
    int output = -1;  // its standard output, read end
    std::string out;  // what has been read of it so far
};

inline const std::string kBanner = "Tidewick v1.01\n\n";
inline std::string Filename(const std::string& name) {
    return "Filename: \"" + name + "\".\n";
}
inline std::string NotFound(const std::string& port3) {
    return "Flash Linker could not be found at port 0x" + port3 +
           "!\nPlease check the connection and that it's turned on.\n";
}

// Drops every progress line that the next one overwrites at once, so an output reads as the
// console finally shows it: "\rX... 0x000000 (0%)\rX... 0x000100 (1%)\n" becomes the last one.
std::string Collapse(const std::string& out);

// A sample image of `bytes` bytes (a prefix of a 4, 8, 16 or 32 Mbit one).
Bytes SampleImage(std::size_t bytes, bool licensed = false, std::uint32_t seed = 1);

class TidewickRun : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    Result Run(const std::vector<std::string>& args, const std::string& input = "",
               const Env& env = {});
    // Starts tidewick in the scratch folder with the given descriptors as its standard input,
    // output and error (-1: that one closed); -1 when it could not be started.
    pid_t Start(const std::vector<std::string>& args, const Env& env, int in_fd, int out_fd,
                int err_fd);
    // Its exit code, or 128 + the signal that ended it.
    static int Wait(pid_t pid);

    Session StartSession(const std::vector<std::string>& args, const Env& env = {});
    // Reads the output until it holds `text`; false when the output ends first.
    static bool ReadUntil(Session* session, const std::string& text);
    static void Type(Session* session, const std::string& keys);
    // Closes its input, reads its output to the end and waits for it.
    Result Finish(Session* session);

    // False where Env::honour_permissions cannot be had (root without setpriv).
    static bool CanHonourPermissions();
    // The simulator's counters of the last run.
    std::map<std::string, std::uint64_t> ReadStats() const;
    // Names in the scratch folder that begin with a dot other than the runner's own files:
    // temporary files left behind.
    std::vector<std::string> Leftovers() const;

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void WriteFile(const std::string& name, const Bytes& bytes) const;
    Bytes ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;
    void Remove(const std::string& name) const;
    // The cartridge file: `contents` at address 0, erased flash after it.
    void MakeCart(std::uint32_t size, const Bytes& contents) const;
    Bytes Cart() const { return ReadFile("cart.bin"); }

  private:
    std::string dir_;
};

}  // namespace tidewick_e2e
