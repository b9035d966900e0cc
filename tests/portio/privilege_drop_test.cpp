// A setuid-root (and setgid) start, or file capabilities, are given up when port access comes
// up, and cannot be taken back. Runs a copy of privilege_probe as user nobody; needs root to
// set that up and is skipped otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kNobody = "65534";

using Report = std::map<std::string, std::string>;

class PrivilegeDrop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (getuid() != 0) GTEST_SKIP() << "needs root to make a setuid copy";
        if (std::system("command -v setpriv >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "setpriv is not installed";
        }
        std::string pattern = (fs::temp_directory_path() / "privdrop-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::permissions(dir_, fs::perms(0755));
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    // A copy of the probe, owned by root, with `mode` (e.g. 06755 for setuid and setgid).
    std::string Probe(const char* name, unsigned mode) {
        fs::path copy = dir_ / name;
        fs::copy_file(PRIVILEGE_PROBE, copy);
        EXPECT_EQ(chown(copy.c_str(), 0, 0), 0);
        EXPECT_EQ(chmod(copy.c_str(), mode), 0);
        return copy.string();
    }

    // Runs `binary` as nobody with a clean environment plus `env`.
    Report RunAsNobody(const std::string& binary, const std::string& env) {
        std::string command = std::string(
                                  "env -i PATH=/usr/bin:/bin "
                                  "ASAN_OPTIONS=detect_leaks=0:allow_user_segv_handler=1 ") +
                              env + " setpriv --reuid=" + kNobody + " --regid=" + kNobody +
                              " --clear-groups " + binary + " 2>&1";
        Report report;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return report;
        char line[1024];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            std::string text(line);
            if (!text.empty() && text.back() == '\n') text.pop_back();
            auto eq = text.find('=');
            if (eq != std::string::npos) report[text.substr(0, eq)] = text.substr(eq + 1);
            report["output"] += text + "\n";
        }
        report["exit"] = std::to_string(pclose(pipe));
        return report;
    }

    static void ExpectDropped(const Report& r) {
        const std::string all = std::string(kNobody) + "," + kNobody + "," + kNobody;
        EXPECT_EQ(r.at("after.uid"), all) << r.at("output");
        EXPECT_EQ(r.at("after.gid"), all) << r.at("output");
        EXPECT_EQ(r.at("after.caps"), "0") << r.at("output");
        EXPECT_EQ(r.at("regain.uid0"), "no") << r.at("output");
        EXPECT_EQ(r.at("regain.gid0"), "no") << r.at("output");
    }

    // Direct I/O opened before the drop still works after it. Where the kernel offers no
    // ioperm at all (some sandboxes), only the refusal can be checked.
    static void ExpectPortStillReachable(const Report& r) {
        if (r.at("backend") == "direct") {
            EXPECT_TRUE(r.count("status")) << r.at("output");
        } else if (r.at("reason").find("ioperm") == std::string::npos) {
            ADD_FAILURE() << "direct I/O refused for another reason:\n" << r.at("output");
        }
    }

    fs::path dir_;
};

TEST_F(PrivilegeDrop, SetuidRootIsGivenUpForGoodOnEveryBackend) {
    const std::string probe = Probe("probe", 06755);
    // A cartridge file only root may open: as root the simulator would map it and write to it.
    const std::string cart = (dir_ / "root-cart.bin").string();
    std::ofstream(cart, std::ios::binary) << std::string(1 << 20, '\xFF');
    ASSERT_EQ(chmod(cart.c_str(), 0600), 0);

    struct Case {
        std::string env;
        std::string backend;  // "direct" depends on the machine
    };
    const Case cases[] = {
        {"PORTIO=absent", "absent"},
        // The simulator's file is opened as the user only: it cannot be, so the simulator it
        // names is what cannot be had.
        {"LINKSIM=" + cart, "simulated"},
        {"PORTIO=direct", "direct"},
    };
    for (const Case& c : cases) {
        Report r = RunAsNobody(probe, c.env);
        ASSERT_TRUE(r.count("start.uid")) << r["output"];
        if (r["start.uid"] != std::string(kNobody) + ",0,0") {
            GTEST_SKIP() << "the file system ignores the setuid bit: " << r["start.uid"];
        }
        EXPECT_EQ(r["start.gid"], std::string(kNobody) + ",0,0");
        EXPECT_EQ(r["exit"], "0") << r["output"];
        if (c.backend == "direct") {
            ExpectPortStillReachable(r);
        } else {
            EXPECT_EQ(r["backend"], c.backend) << c.env;
        }
        ExpectDropped(r);
    }
    Report sim = RunAsNobody(probe, "LINKSIM=" + cart);
    EXPECT_EQ(sim["outcome"], "unusable");
    EXPECT_EQ(sim["reason"], "LINKSIM: cannot open '" + cart + "': Permission denied")
        << sim["output"];
}

// Any user could otherwise reset the machine through a setuid install (0x60 is the keyboard
// controller, 0xCF9 the reset control): the refusal comes before any port right is asked for.
TEST_F(PrivilegeDrop, ASetuidStartRefusesABaseThatIsNoParallelPort) {
    const std::string probe = Probe("probe", 06755);
    struct Case {
        const char* env;
        const char* base;
    };
    const Case cases[] = {
        {"PROBE_BASE=60", "0x60"},
        {"PROBE_BASE=60 PORTIO=direct", "0x60"},
        {"PROBE_BASE=cf9", "0xCF9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.env);
        Report r = RunAsNobody(probe, c.env);
        ASSERT_TRUE(r.count("start.uid")) << r["output"];
        if (r["start.uid"] != std::string(kNobody) + ",0,0") {
            GTEST_SKIP() << "the file system ignores the setuid bit: " << r["start.uid"];
        }
        EXPECT_EQ(r["outcome"], "unusable") << r["output"];
        EXPECT_TRUE(
            r["reason"].starts_with(std::string(c.base) + " is not the base of a parallel port."))
            << r["output"];
        EXPECT_EQ(r["reach"], "closed") << r["output"];
        ExpectDropped(r);
    }
}

TEST_F(PrivilegeDrop, FileCapabilitiesAreClearedOnceDirectIoIsOpen) {
    const std::string probe = Probe("probe-caps", 0755);
    if (std::system(("setcap cap_sys_rawio+ep " + probe + " 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "setcap is not available or the file system has no capabilities";
    }
    Report r = RunAsNobody(probe, "PORTIO=direct");
    ASSERT_TRUE(r.count("start.caps")) << r["output"];
    if (r["start.caps"] == "0") GTEST_SKIP() << "file capabilities are not honoured here";
    EXPECT_EQ(r["exit"], "0") << r["output"];
    ExpectPortStillReachable(r);
    ExpectDropped(r);
}

}  // namespace
