// Which backend a run gets, and when privileges are given up relative to reaching the port and
// opening the simulator's file.
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <array>
#include <filesystem>

#include "fake_kernel.h"
#include "portio/backends.h"

namespace {

using portio::AccessOutcome;
using portio::BackendKind;

class NullPort final : public portio::PortBackend {
  public:
    std::uint8_t Read(std::uint16_t) override { return 0x00; }
    void Write(std::uint16_t, std::uint8_t) override {}
};

// Records the order in which the choice asks for each way to the port and drops privileges.
struct Scenario {
    explicit Scenario(bool device = false, bool direct = false)
        : device_works(device), direct_works(direct) {}

    bool device_works;
    bool direct_works;
    bool device_in_use = false;
    bool drop_works = true;
    bool elevated = false;
    std::vector<std::uint16_t> hardware;  // parallel ports beyond the legacy three
    bool locked_elsewhere = false;
    std::vector<std::string> events;

    portio::ChoiceInputs Inputs(std::string forced = "", std::string linksim = "") {
        portio::ChoiceInputs in;
        in.forced = std::move(forced);
        in.linksim = std::move(linksim);
        in.device = [this](std::span<const std::uint16_t>, portio::Refusal* refusal) {
            events.push_back("device");
            if (device_in_use) {
                refusal->why = "/dev/parport0 (the port at 0x378) is in use";
                refusal->in_use = true;
                return std::unique_ptr<NullPort>();
            }
            refusal->why = "the kernel knows no parallel port at 0x378";
            return device_works ? std::make_unique<NullPort>() : nullptr;
        };
        in.direct = [this](std::span<const std::uint16_t>, portio::Refusal* refusal) {
            events.push_back("direct");
            refusal->why = "direct port I/O refused";
            return direct_works ? std::make_unique<NullPort>() : nullptr;
        };
        in.drop_privileges = [this](std::string* why) {
            events.push_back("drop");
            *why = "setresuid: Operation not permitted";
            return drop_works;
        };
        in.lock_bases = [this](std::span<const std::uint16_t>, portio::Refusal* refusal) {
            events.push_back("lock");
            if (!locked_elsewhere) return std::make_unique<portio::BaseLocks>();
            refusal->why = "the flash linker at 0x378 is in use by another program";
            refusal->in_use = true;
            return std::unique_ptr<portio::BaseLocks>();
        };
        in.elevated = [this] { return elevated; };
        in.parallel_hardware = [this] { return hardware; };
        return in;
    }
};

constexpr std::array<std::uint16_t, 1> kBase{0x378};

TEST(BackendChoice, WithoutPortioDirectIoComesBeforeTheDeviceAndTheAbsentPortLast) {
    struct Case {
        bool device, direct, in_use;
        AccessOutcome outcome;
        BackendKind kind;
        std::vector<std::string> events;
        std::string reason;
    };
    const Case cases[] = {
        {true,
         true,
         false,
         AccessOutcome::Ready,
         BackendKind::Direct,
         {"lock", "direct", "drop"},
         ""},
        {true,
         false,
         false,
         AccessOutcome::Ready,
         BackendKind::Ppdev,
         {"lock", "direct", "device", "drop"},
         ""},
        {false,
         false,
         false,
         AccessOutcome::Refused,
         BackendKind::Absent,
         {"lock", "direct", "device", "drop"},
         "the kernel knows no parallel port at 0x378; direct port I/O refused"},
        // Another program has the port: the run stops instead of going on without it.
        {false,
         false,
         true,
         AccessOutcome::Unusable,
         BackendKind::Ppdev,
         {"lock", "direct", "device", "drop"},
         "/dev/parport0 (the port at 0x378) is in use"},
    };
    for (const Case& c : cases) {
        Scenario s(c.device, c.direct);
        s.device_in_use = c.in_use;
        portio::Choice choice = portio::ChooseBackend(kBase, s.Inputs());
        EXPECT_EQ(choice.result.outcome, c.outcome);
        EXPECT_EQ(choice.result.kind, c.kind);
        EXPECT_EQ(choice.result.reason, c.reason);
        EXPECT_EQ(s.events, c.events);
        ASSERT_NE(choice.backend, nullptr);
    }
}

TEST(BackendChoice, PortioForcesOneBackendWithoutFallingBack) {
    struct Case {
        std::string forced;
        bool device, direct;
        AccessOutcome outcome;
        BackendKind kind;
        std::vector<std::string> events;
        std::string reason;
    };
    const Case cases[] = {
        {"ppdev",
         true,
         true,
         AccessOutcome::Ready,
         BackendKind::Ppdev,
         {"lock", "device", "drop"},
         ""},
        {"ppdev",
         false,
         true,
         AccessOutcome::Unusable,
         BackendKind::Ppdev,
         {"lock", "device", "drop"},
         "PORTIO=ppdev: the kernel knows no parallel port at 0x378"},
        {"direct",
         true,
         true,
         AccessOutcome::Ready,
         BackendKind::Direct,
         {"lock", "direct", "drop"},
         ""},
        {"direct",
         true,
         false,
         AccessOutcome::Unusable,
         BackendKind::Direct,
         {"lock", "direct", "drop"},
         "PORTIO=direct: direct port I/O refused"},
        {"absent", true, true, AccessOutcome::Absent, BackendKind::Absent, {"drop"}, ""},
        {"parport",
         true,
         true,
         AccessOutcome::Unusable,
         BackendKind::Absent,
         {"drop"},
         "PORTIO='parport' is not a port access; use ppdev, direct or absent"},
    };
    for (const Case& c : cases) {
        Scenario s(c.device, c.direct);
        portio::Choice choice = portio::ChooseBackend(kBase, s.Inputs(c.forced));
        EXPECT_EQ(choice.result.outcome, c.outcome) << c.forced;
        EXPECT_EQ(choice.result.kind, c.kind) << c.forced;
        EXPECT_EQ(choice.result.reason, c.reason) << c.forced;
        EXPECT_EQ(s.events, c.events) << c.forced;
        ASSERT_NE(choice.backend, nullptr);
        const bool ready = c.outcome == AccessOutcome::Ready;
        EXPECT_EQ(choice.backend->Read(0x379), ready ? 0x00 : 0xFF);
    }
}

// A setuid/setgid start or raised file capabilities ask for port rights only at the bases of
// parallel ports, and refuse any other before asking for any; a plain run keeps its freedom.
TEST(BackendChoice, AStartWithMoreRightsReachesOnlyParallelPorts) {
    struct Case {
        const char* name;
        bool elevated;
        std::vector<std::uint16_t> bases;
        std::string forced;
        AccessOutcome outcome;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"keyboard controller", true, {0x60}, "", AccessOutcome::Unusable, {"drop"}},
        {"reset control, forced", true, {0xCF9}, "direct", AccessOutcome::Unusable, {"drop"}},
        {"through the device", true, {0x60}, "ppdev", AccessOutcome::Unusable, {"drop"}},
        {"legacy base", true, {0x378}, "", AccessOutcome::Ready, {"lock", "direct", "drop"}},
        {"listed card", true, {0xD010}, "", AccessOutcome::Ready, {"lock", "direct", "drop"}},
        {"the window's search",
         true,
         {0x378, 0x278, 0x3BC, 0xD010},
         "",
         AccessOutcome::Ready,
         {"lock", "direct", "drop"}},
        {"absent port asks for nothing", true, {0x60}, "absent", AccessOutcome::Absent, {"drop"}},
        {"plain run", false, {0x60}, "", AccessOutcome::Ready, {"lock", "direct", "drop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario s(false, true);
        s.elevated = c.elevated;
        s.hardware = {0xD010, 0x378};
        portio::Choice choice = portio::ChooseBackend(c.bases, s.Inputs(c.forced));
        EXPECT_EQ(choice.result.outcome, c.outcome) << choice.result.reason;
        EXPECT_EQ(s.events, c.events);
        EXPECT_TRUE(choice.privileges_dropped);
        ASSERT_NE(choice.backend, nullptr);
    }
    Scenario s(false, true);
    s.elevated = true;
    s.hardware = {0xD010, 0x378};
    const std::array<std::uint16_t, 1> keyboard{0x60};
    EXPECT_EQ(portio::ChooseBackend(keyboard, s.Inputs()).result.reason,
              "0x60 is not the base of a parallel port. Started with more rights than its user "
              "(setuid, setgid or file capabilities), the program opens only parallel ports: "
              "0x378, 0x278, 0x3BC, 0xD010; run it as root to use another port");
}

// A port another program holds is left alone: no right is asked for and no device opened.
TEST(BackendChoice, ABaseLockedByAnotherProgramStopsTheRunBeforeThePortIsTouched) {
    for (const char* forced : {"", "direct", "ppdev"}) {
        SCOPED_TRACE(forced);
        Scenario s(true, true);
        s.locked_elsewhere = true;
        portio::Choice choice = portio::ChooseBackend(kBase, s.Inputs(forced));
        EXPECT_EQ(choice.result.outcome, AccessOutcome::Unusable);
        EXPECT_EQ(choice.result.reason, "the flash linker at 0x378 is in use by another program");
        EXPECT_EQ(s.events, (std::vector<std::string>{"lock", "drop"}));
        ASSERT_NE(choice.backend, nullptr);
        EXPECT_EQ(choice.backend->Read(0x379), 0xFF);
    }
}

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "choice-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const char* name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

TEST(BackendChoice, LinksimWinsOverPortioAndItsFileIsOpenedOnlyAfterTheDrop) {
    TempDir dir;
    const std::string cart = (dir / "cart.bin").string();
    Scenario s(true, true);
    portio::ChoiceInputs in = s.Inputs("ppdev", cart);
    bool file_existed_at_drop = true;
    in.drop_privileges = [&](std::string*) {
        s.events.push_back("drop");
        file_existed_at_drop = std::filesystem::exists(cart);
        return true;
    };
    portio::Choice choice = portio::ChooseBackend(kBase, in);
    EXPECT_EQ(choice.result.kind, BackendKind::Simulated);
    EXPECT_EQ(choice.result.outcome, AccessOutcome::Ready) << choice.result.reason;
    EXPECT_EQ(s.events, std::vector<std::string>{"drop"});
    EXPECT_FALSE(file_existed_at_drop);
    EXPECT_EQ(std::filesystem::file_size(cart), 4u * 1024 * 1024);
}

TEST(BackendChoice, ASimulatorThatCannotBeSetUpIsNotUsable) {
    TempDir dir;
    Scenario s;
    portio::ChoiceInputs in = s.Inputs("", (dir / "cart.bin").string());
    in.linksim_opts = "turbo";
    portio::Choice choice = portio::ChooseBackend(kBase, in);
    EXPECT_EQ(choice.result.kind, BackendKind::Simulated);
    EXPECT_EQ(choice.result.outcome, AccessOutcome::Unusable);
    EXPECT_NE(choice.result.reason.find("turbo"), std::string::npos) << choice.result.reason;
}

TEST(BackendChoice, PrivilegesThatCannotBeDroppedStopTheRunAndReleaseThePort) {
    for (const char* linksim : {"", "never-opened.bin"}) {
        fakekernel::Reset();
        fakekernel::Tree tree({{0, 0x378}});
        Scenario s;
        s.drop_works = false;
        portio::ChoiceInputs in = s.Inputs("", linksim);
        in.device = [&tree](std::span<const std::uint16_t> bases, portio::Refusal* refusal) {
            return portio::ppdev::Open(bases, fakekernel::FakeSyscalls(), tree.roots(), refusal);
        };
        portio::Choice choice = portio::ChooseBackend(kBase, in);
        EXPECT_FALSE(choice.privileges_dropped) << linksim;
        EXPECT_EQ(choice.result.outcome, AccessOutcome::Unusable);
        EXPECT_EQ(choice.result.reason,
                  "cannot give up elevated privileges: setresuid: Operation not permitted");
        EXPECT_FALSE(std::filesystem::exists("never-opened.bin"));
        if (*linksim == '\0') {
            ASSERT_GE(fakekernel::Kernel().calls.size(), 2u);
            EXPECT_EQ(fakekernel::Kernel().calls.back().op, fakekernel::Op::Close);
        }
    }
}

TEST(BackendChoice, ABaseWithoutAMatchingDeviceEndsAtTheAbsentPortWithBothReasons) {
    fakekernel::Reset();
    fakekernel::Tree tree({{0, 0x278}});
    Scenario s(false, false);
    portio::ChoiceInputs in = s.Inputs();
    in.device = [&](std::span<const std::uint16_t> bases, portio::Refusal* refusal) {
        s.events.push_back("device");
        return portio::ppdev::Open(bases, fakekernel::FakeSyscalls(), tree.roots(), refusal);
    };
    portio::Choice choice = portio::ChooseBackend(kBase, in);
    EXPECT_EQ(choice.result.kind, BackendKind::Absent);
    EXPECT_EQ(choice.result.outcome, AccessOutcome::Refused);
    EXPECT_EQ(choice.result.reason,
              "the kernel knows no parallel port at 0x378; direct port I/O refused");
    EXPECT_EQ(s.events, (std::vector<std::string>{"lock", "direct", "device", "drop"}));
    EXPECT_TRUE(fakekernel::Kernel().opened_paths.empty());
}

}  // namespace
