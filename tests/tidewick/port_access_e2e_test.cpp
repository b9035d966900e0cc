// What tidewick says when it cannot have the port, run without the simulator. Only ways that
// touch no port are taken: PORTIO=ppdev on a base that has no device, and a setuid start asked
// for a base that is no parallel port.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

namespace fs = std::filesystem;

struct Output {
    int exit_code = -1;
    std::string out;
};

// Runs `command` through the shell with a clean environment plus `env`.
Output RunClean(const std::string& env, const std::string& command) {
    const std::string line = "env -i PATH=/usr/bin:/bin ASAN_OPTIONS=detect_leaks=0 " + env + " " +
                             command + " </dev/null 2>&1";
    Output result;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return result;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) result.out.append(buf, n);
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// On Linux the reason stands alone: the Windows driver is not what failed.
TEST(PortAccess, AForcedDeviceThatCannotBeHadSaysWhyWithoutTheDriverLine) {
    // 0xFFF0 is no parallel port's base on any machine.
    Output r = RunClean("PORTIO=ppdev TWKPORT=65520", TIDEWICK_BINARY " /i");
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_TRUE(r.out.starts_with(kBanner + "PORTIO=ppdev: the kernel knows no parallel port"))
        << r.out;
    EXPECT_EQ(r.out.find("GiveIO"), std::string::npos) << r.out;
}

TEST(PortAccess, ASetuidStartRefusesTheKeyboardControllerAndExits1) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to make a setuid copy";
    if (std::system("command -v setpriv >/dev/null 2>&1") != 0) GTEST_SKIP() << "no setpriv";
    std::string pattern = (fs::temp_directory_path() / "tidewick-setuid-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    fs::permissions(dir, fs::perms(0755));
    const fs::path copy = dir / "tidewick";
    fs::copy_file(TIDEWICK_BINARY, copy);
    ASSERT_EQ(chown(copy.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(copy.c_str(), 06755), 0);
    // PORTIO=ppdev keeps even a broken refusal away from the port itself.
    struct statvfs fs_flags {};
    ASSERT_EQ(statvfs(dir.c_str(), &fs_flags), 0);
    const bool nosuid = (fs_flags.f_flag & ST_NOSUID) != 0;
    Output r = RunClean("PORTIO=ppdev TWKPORT=96",
                        "setpriv --reuid=65534 --regid=65534 --clear-groups " + copy.string());
    fs::remove_all(dir);
    if (nosuid) GTEST_SKIP() << "the temporary folder ignores the setuid bit";
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_TRUE(r.out.starts_with(kBanner + "0x60 is not the base of a parallel port. Started "
                                            "with more rights than its user"))
        << r.out;
    EXPECT_TRUE(r.out.ends_with("; run it as root to use another port\n")) << r.out;
}

}  // namespace
}  // namespace tidewick_e2e
