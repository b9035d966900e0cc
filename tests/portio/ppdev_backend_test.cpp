// The ppdev backend against a fake kernel: which system call each port access becomes, in
// which order, and how a missing or refused device is reported.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "fake_kernel.h"
#include "portio/epp.h"
#include "portio/portio.h"
#include "portio/ppdev_linux.h"

namespace {

using fakekernel::Call;
using fakekernel::Kernel;
using fakekernel::Op;

constexpr int kEppData = IEEE1284_MODE_EPP;
constexpr int kEppAddress = IEEE1284_MODE_EPP | IEEE1284_ADDR;

Call Ioctl(unsigned long request, int value = 0) {
    return {Op::Ioctl, 10, request, value};
}
Call Rd(int value) {
    return {Op::Read, 10, 0, value};
}
Call Wr(int value) {
    return {Op::Write, 10, 0, value};
}

class PpdevBackend : public ::testing::Test {
  protected:
    PpdevBackend() : tree_({{0, 0x378}, {1, 0x278}}) { fakekernel::Reset(); }

    // Opens the backend for `bases` and forgets the calls made while opening.
    std::unique_ptr<portio::PortBackend> OpenQuiet(std::vector<std::uint16_t> bases = {0x378},
                                                   const fakekernel::Tree* tree = nullptr) {
        fakekernel::Reset();
        portio::Refusal refusal;
        auto port = portio::ppdev::Open(bases, fakekernel::FakeSyscalls(),
                                        (tree != nullptr ? *tree : tree_).roots(), &refusal);
        EXPECT_NE(port, nullptr) << refusal.why;
        Kernel().calls.clear();
        return port;
    }

    fakekernel::Tree tree_;
};

TEST_F(PpdevBackend, FindsTheDeviceWhoseBaseAddressMatches) {
    struct Case {
        std::uint16_t base;
        std::string node;  // relative to dev/, "" for none
    };
    const Case cases[] = {{0x378, "parport0"}, {0x278, "parport1"}, {0x3BC, ""}};
    for (const Case& c : cases) {
        std::string expected = c.node.empty() ? "" : tree_.roots().dev + "/" + c.node;
        EXPECT_EQ(portio::ppdev::FindDevice(c.base, tree_.roots()), expected) << c.base;
    }
    portio::ppdev::Roots nowhere{(tree_.dir() / "missing").string(), tree_.roots().dev};
    EXPECT_EQ(portio::ppdev::FindDevice(0x378, nowhere), "");
}

TEST_F(PpdevBackend, OpensNonBlockingClaimsExclusivelyAndReleasesOnClose) {
    portio::Refusal refusal;
    std::array<std::uint16_t, 1> bases{0x278};
    auto port = portio::ppdev::Open(bases, fakekernel::FakeSyscalls(), tree_.roots(), &refusal);
    ASSERT_NE(port, nullptr) << refusal.why;
    ASSERT_EQ(Kernel().opened_paths, std::vector<std::string>{tree_.roots().dev + "/parport1"});
    // Without O_NONBLOCK a timed-out EPP read is retried by the kernel for ever.
    EXPECT_EQ(Kernel().open_flags[0] & (O_ACCMODE | O_NONBLOCK), O_RDWR | O_NONBLOCK);
    port.reset();
    std::vector<Call> expected{{Op::Open, 10, 0, 0}, Ioctl(PPEXCL),
                               Ioctl(PPCLAIM),       Ioctl(PPSETFLAGS, PP_FASTREAD | PP_FASTWRITE),
                               Ioctl(PPRELEASE),     {Op::Close, 10, 0, 0}};
    EXPECT_EQ(Kernel().calls, expected) << fakekernel::Describe(Kernel().calls);
}

// One port access each, from a fresh open (EPP mode not yet set).
TEST_F(PpdevBackend, EachPortAccessIsOneKernelCall) {
    struct Case {
        const char* name;
        bool write;
        std::uint16_t port;
        std::uint8_t value;  // written, or answered by the fake kernel
        std::vector<Call> calls;
    };
    const Case cases[] = {
        {"data write", true, 0x378, 0x5A, {Ioctl(PPWDATA, 0x5A)}},
        {"data read", false, 0x378, 0xC3, {Ioctl(PPRDATA, 0xC3)}},
        // Register values pass as they are: the kernel applies no line inversion of its own.
        {"status read", false, 0x379, 0x78, {Ioctl(PPRSTATUS, 0x78)}},
        {"status write (EPP time-out clear) is dropped", true, 0x379, 0x01, {}},
        {"control write", true, 0x37A, 0x09, {Ioctl(PPWCONTROL, 0x09)}},
        {"control write keeps only the line bits", true, 0x37A, 0x34, {Ioctl(PPWCONTROL, 0x04)}},
        {"control read", false, 0x37A, 0x04, {Ioctl(PPRCONTROL, 0x04)}},
        {"EPP address write", true, 0x37B, 0x02, {Ioctl(PPSETMODE, kEppAddress), Wr(0x02)}},
        {"EPP address read", false, 0x37B, 0x03, {Ioctl(PPSETMODE, kEppAddress), Rd(0x03)}},
        {"EPP data write", true, 0x37C, 0xA5, {Ioctl(PPSETMODE, kEppData), Wr(0xA5)}},
        {"EPP data read", false, 0x37C, 0x7E, {Ioctl(PPSETMODE, kEppData), Rd(0x7E)}},
        {"beyond base + 4", true, 0x37D, 0x00, {}},
        {"another base", true, 0x278, 0x00, {}},
    };
    for (const Case& c : cases) {
        auto port = OpenQuiet();
        Kernel().answers = {c.value};
        if (c.write) {
            port->Write(c.port, c.value);
        } else {
            EXPECT_EQ(port->Read(c.port), c.value) << c.name;
        }
        EXPECT_EQ(Kernel().calls, c.calls) << c.name << "\n"
                                           << fakekernel::Describe(Kernel().calls);
    }
}

TEST_F(PpdevBackend, SwitchesEppModeOnlyWhenTheCycleKindChanges) {
    auto previous = portio::InstallBackend(OpenQuiet());
    Kernel().answers = {0x56, 0x34};
    epp::SetWriteDirection(0x378);
    epp::AddressCycle(0x378, 0);
    epp::DataWrite(0x378, 0x56);
    epp::DataWrite(0x378, 0x57);
    epp::AddressCycle(0x378, 1);
    epp::AddressCycle(0x378, 0);
    epp::SetReadDirection(0x378);
    EXPECT_EQ(epp::DataRead(0x378), 0x56);
    EXPECT_EQ(epp::DataRead(0x378), 0x34);
    portio::InstallBackend(std::move(previous));

    std::vector<Call> expected{
        Ioctl(PPWCONTROL, 0x01),  //
        Ioctl(PPSETMODE, kEppAddress),
        Wr(0x00),  //
        Ioctl(PPSETMODE, kEppData),
        Wr(0x56),
        Wr(0x57),
        Ioctl(PPSETMODE, kEppAddress),
        Wr(0x01),
        Wr(0x00),                 //
        Ioctl(PPWCONTROL, 0x00),  //
        Ioctl(PPSETMODE, kEppData),
        Rd(0x56),
        Rd(0x34),
        Ioctl(PPRELEASE),
        {Op::Close, 10, 0, 0},
    };
    EXPECT_EQ(Kernel().calls, expected) << fakekernel::Describe(Kernel().calls);
}

TEST_F(PpdevBackend, ATimedOutOrRefusedCycleReadsAsAnUndrivenBus) {
    auto port = OpenQuiet();
    Kernel().read_times_out = true;
    EXPECT_EQ(port->Read(0x37C), 0xFF);

    // A refused mode switch skips the cycle rather than run it in the wrong mode, and the next
    // cycle asks again.
    Kernel().read_times_out = false;
    Kernel().setmode_errno = EINVAL;
    Kernel().calls.clear();
    port->Write(0x37B, 0x02);
    Kernel().setmode_errno = 0;
    port->Write(0x37B, 0x03);
    std::vector<Call> expected{Ioctl(PPSETMODE, kEppAddress), Ioctl(PPSETMODE, kEppAddress),
                               Wr(0x03)};
    EXPECT_EQ(Kernel().calls, expected) << fakekernel::Describe(Kernel().calls);
}

TEST_F(PpdevBackend, ServesTheBasesThatHaveADeviceAndFloatsTheOthers) {
    auto port = OpenQuiet({0x378, 0x3BC, 0x278});
    Kernel().answers = {0x11, 0x22};
    EXPECT_EQ(port->Read(0x378), 0x11);
    EXPECT_EQ(port->Read(0x3BC), 0xFF);
    EXPECT_EQ(port->Read(0x278), 0x22);
    std::vector<Call> expected{Ioctl(PPRDATA, 0x11), {Op::Ioctl, 11, PPRDATA, 0x22}};
    EXPECT_EQ(Kernel().calls, expected) << fakekernel::Describe(Kernel().calls);
}

TEST_F(PpdevBackend, ExplainsWhyNoDeviceCouldBeUsed) {
    struct Case {
        const char* name;
        std::uint16_t base;
        int open_errno;
        int claim_errno;
        std::string why;
        bool in_use;
    };
    const std::string dev = tree_.roots().dev;
    const Case cases[] = {
        {"no port at that base", 0x3BC, 0, 0, "the kernel knows no parallel port at 0x3BC", false},
        {"device not readable by the user", 0x378, EACCES, 0,
         "cannot open " + dev +
             "/parport0: Permission denied (the user must be in the group that owns it, usually "
             "lp: sudo adduser $USER lp, then log in again)",
         false},
        {"ppdev not loaded", 0x378, ENOENT, 0,
         "cannot open " + dev +
             "/parport0: No such file or directory (load the ppdev module: sudo modprobe ppdev)",
         false},
        // The exclusive registration fails while another device is registered on the port.
        {"port in use", 0x378, 0, ENXIO,
         dev + "/parport0 (the port at 0x378) is in use by another program or driver (the "
               "printer driver lp holds it while it is loaded: sudo modprobe -r lp)",
         true},
        {"claim refused otherwise", 0x378, 0, EINVAL,
         "cannot claim " + dev + "/parport0: Invalid argument", false},
    };
    for (const Case& c : cases) {
        fakekernel::Reset();
        Kernel().open_errno = c.open_errno;
        Kernel().claim_errno = c.claim_errno;
        portio::Refusal refusal;
        std::array<std::uint16_t, 1> bases{c.base};
        EXPECT_EQ(portio::ppdev::Open(bases, fakekernel::FakeSyscalls(), tree_.roots(), &refusal),
                  nullptr)
            << c.name;
        EXPECT_EQ(refusal.why, c.why) << c.name;
        EXPECT_EQ(refusal.in_use, c.in_use) << c.name;
        // Whatever was opened is closed again.
        int opens = 0, closes = 0;
        for (const Call& call : Kernel().calls) {
            opens += call.op == Op::Open;
            closes += call.op == Op::Close;
        }
        EXPECT_EQ(opens, closes) << c.name;
    }

    // Without the kernel's port driver there is no port list at all.
    portio::ppdev::Roots no_driver{(tree_.dir() / "no-proc").string(), tree_.roots().dev};
    portio::Refusal refusal;
    std::array<std::uint16_t, 1> bases{0x378};
    EXPECT_EQ(portio::ppdev::Open(bases, fakekernel::FakeSyscalls(), no_driver, &refusal), nullptr);
    EXPECT_EQ(refusal.why,
              "the kernel knows no parallel port (load its driver: sudo modprobe parport_pc)");
}

// One port in use stops the whole open: the ports already claimed are released again.
TEST_F(PpdevBackend, APortInUseReleasesThePortsAlreadyClaimed) {
    fakekernel::Reset();
    portio::Refusal refusal;
    std::array<std::uint16_t, 2> bases{0x278, 0x378};
    // The second claim (fd 11) fails as in use.
    struct ClaimSecondFails {
        static int Ioctl(int fd, unsigned long request, void* arg) {
            if (request == PPCLAIM && fd == 11) {
                errno = ENXIO;
                return -1;
            }
            return fakekernel::FakeSyscalls().ioctl(fd, request, arg);
        }
    };
    portio::ppdev::Syscalls sys = fakekernel::FakeSyscalls();
    sys.ioctl = ClaimSecondFails::Ioctl;
    EXPECT_EQ(portio::ppdev::Open(bases, sys, tree_.roots(), &refusal), nullptr);
    EXPECT_TRUE(refusal.in_use);
    std::vector<Call> tail(Kernel().calls.end() - 3, Kernel().calls.end());
    std::vector<Call> expected{{Op::Close, 11, 0, 0}, Ioctl(PPRELEASE), {Op::Close, 10, 0, 0}};
    EXPECT_EQ(tail, expected) << fakekernel::Describe(Kernel().calls);
}

// A run of EPP data reads: the mode once, then one read() per 256 bytes.
TEST_F(PpdevBackend, ARunOfEppReadsIsOneReadPerPage) {
    auto port = OpenQuiet();
    for (int i = 0; i < 600; ++i) Kernel().answers.push_back(static_cast<std::uint8_t>(i));
    std::vector<std::uint8_t> run(600);
    port->ReadRun(0x37C, run.data(), run.size());
    for (int i = 0; i < 600; ++i) EXPECT_EQ(run[i], static_cast<std::uint8_t>(i)) << i;
    std::vector<Call> expected{Ioctl(PPSETMODE, kEppData),
                               {Op::Read, 10, 0, 0x00, 256},
                               {Op::Read, 10, 0, 0x00, 256},
                               {Op::Read, 10, 0, 0x00, 88}};
    EXPECT_EQ(Kernel().calls, expected) << fakekernel::Describe(Kernel().calls);

    // Registers without an EPP cycle are read one ioctl each.
    Kernel().calls.clear();
    Kernel().answers = {0x78, 0x70};
    port->ReadRun(0x379, run.data(), 2);
    EXPECT_EQ(Kernel().calls, (std::vector<Call>{Ioctl(PPRSTATUS, 0x78), Ioctl(PPRSTATUS, 0x70)}));
}

// What a timed-out run did not deliver reads as an undriven bus, and the run asks no further.
TEST_F(PpdevBackend, ARunCutShortReadsTheRestAsAnUndrivenBus) {
    struct Case {
        const char* name;
        int limit;
        std::size_t reads;
    };
    const Case cases[] = {{"short read", 100, 1}, {"nothing delivered", 0, 1}};
    for (const Case& c : cases) {
        auto port = OpenQuiet();
        Kernel().read_limit = c.limit;
        Kernel().answers.assign(300, 0x11);
        std::vector<std::uint8_t> run(300, 0x00);
        port->ReadRun(0x37C, run.data(), run.size());
        const std::size_t got = static_cast<std::size_t>(c.limit);
        EXPECT_EQ(std::count(run.begin(), run.begin() + std::ptrdiff_t(got), 0x11), c.limit)
            << c.name;
        EXPECT_EQ(std::count(run.begin() + std::ptrdiff_t(got), run.end(), 0xFF),
                  std::ptrdiff_t(300 - got))
            << c.name;
        std::size_t reads = 0;
        for (const Call& call : Kernel().calls) reads += call.op == Op::Read;
        EXPECT_EQ(reads, c.reads) << c.name;
    }
}

// A control write of the value the register holds is left out. Where the kernel sets the control
// lines itself around EPP cycles (ports it drives through the ECP control register), an EPP cycle
// leaves the value unknown and the next write goes out.
TEST_F(PpdevBackend, ARepeatedControlValueIsLeftOutWhileTheRegisterHoldsIt) {
    fakekernel::Tree ecp({{0, 0x378}}, fakekernel::kEcpEppModes);
    struct Case {
        const char* name;
        const fakekernel::Tree* tree;
        std::vector<Call> calls;
    };
    const Case cases[] = {
        {"EPP port",
         &tree_,
         {Ioctl(PPWCONTROL, 0x00),
          Ioctl(PPWCONTROL, 0x01),
          Ioctl(PPSETMODE, kEppData),
          {Op::Read, 10, 0, 0x00, 1},
          Ioctl(PPWCONTROL, 0x00)}},
        {"ECP+EPP port",
         &ecp,
         {Ioctl(PPWCONTROL, 0x00),
          Ioctl(PPWCONTROL, 0x01),
          Ioctl(PPSETMODE, kEppData),
          {Op::Read, 10, 0, 0x00, 1},
          Ioctl(PPWCONTROL, 0x01),
          Ioctl(PPWCONTROL, 0x00)}},
    };
    for (const Case& c : cases) {
        auto port = OpenQuiet({0x378}, c.tree);
        port->Write(0x37A, 0x00);
        port->Write(0x37A, 0x00);
        port->Write(0x37A, 0x01);
        port->Write(0x37A, 0x01);
        port->Read(0x37C);
        port->Write(0x37A, 0x01);
        port->Write(0x37A, 0x00);
        EXPECT_EQ(Kernel().calls, c.calls) << c.name << "\n"
                                           << fakekernel::Describe(Kernel().calls);
    }
}

}  // namespace
