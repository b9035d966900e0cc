#include "fake_kernel.h"

#include <linux/ppdev.h>
#include <stdlib.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fakekernel {
namespace {

State g_state;

std::uint8_t NextAnswer() {
    if (g_state.answers.empty()) return 0x00;
    std::uint8_t value = g_state.answers.front();
    g_state.answers.pop_front();
    return value;
}

int FakeOpen(const char* path, int flags) {
    g_state.opened_paths.emplace_back(path);
    g_state.open_flags.push_back(flags);
    if (g_state.open_errno != 0) {
        errno = g_state.open_errno;
        return -1;
    }
    int fd = g_state.next_fd++;
    g_state.calls.push_back({Op::Open, fd, 0, 0});
    return fd;
}

int FakeIoctl(int fd, unsigned long request, void* arg) {
    Call call{Op::Ioctl, fd, request, 0};
    int fail = 0;
    if (request == PPSETMODE) {
        call.value = *static_cast<int*>(arg);
        fail = g_state.setmode_errno;
    } else if (request == PPSETFLAGS) {
        call.value = *static_cast<int*>(arg);
    } else if (request == PPWDATA || request == PPWCONTROL) {
        call.value = *static_cast<unsigned char*>(arg);
    } else if (request == PPRDATA || request == PPRSTATUS || request == PPRCONTROL) {
        call.value = NextAnswer();
        *static_cast<unsigned char*>(arg) = static_cast<unsigned char>(call.value);
    } else if (request == PPCLAIM) {
        fail = g_state.claim_errno;
    }
    g_state.calls.push_back(call);
    if (fail != 0) {
        errno = fail;
        return -1;
    }
    return 0;
}

ssize_t FakeRead(int fd, void* buffer, size_t count) {
    const int asked = static_cast<int>(count);
    if (g_state.read_times_out || g_state.read_limit == 0) {
        g_state.calls.push_back({Op::Read, fd, 0, -1, asked});
        errno = EAGAIN;
        return -1;
    }
    std::size_t delivered = count;
    if (g_state.read_limit > 0 && delivered > std::size_t(g_state.read_limit)) {
        delivered = std::size_t(g_state.read_limit);
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (std::size_t i = 0; i < delivered; ++i) bytes[i] = NextAnswer();
    g_state.calls.push_back({Op::Read, fd, 0, bytes[0], asked});
    return static_cast<ssize_t>(delivered);
}

ssize_t FakeWrite(int fd, const void* buffer, size_t count) {
    if (count != 1) throw std::logic_error("no path writes more than one byte at a time");
    g_state.calls.push_back({Op::Write, fd, 0, *static_cast<const unsigned char*>(buffer)});
    return 1;
}

int FakeClose(int fd) {
    g_state.calls.push_back({Op::Close, fd, 0, 0});
    return 0;
}

const char* RequestName(unsigned long request) {
    switch (request) {
        case PPCLAIM:
            return "PPCLAIM";
        case PPEXCL:
            return "PPEXCL";
        case PPSETFLAGS:
            return "PPSETFLAGS";
        case PPRELEASE:
            return "PPRELEASE";
        case PPSETMODE:
            return "PPSETMODE";
        case PPRDATA:
            return "PPRDATA";
        case PPWDATA:
            return "PPWDATA";
        case PPRSTATUS:
            return "PPRSTATUS";
        case PPRCONTROL:
            return "PPRCONTROL";
        case PPWCONTROL:
            return "PPWCONTROL";
        default:
            return "ioctl?";
    }
}

}  // namespace

State& Kernel() {
    return g_state;
}

void Reset() {
    g_state = State{};
}

const portio::ppdev::Syscalls& FakeSyscalls() {
    static const portio::ppdev::Syscalls sys{FakeOpen, FakeIoctl, FakeRead, FakeWrite, FakeClose};
    return sys;
}

std::string Describe(const std::vector<Call>& calls) {
    std::ostringstream out;
    for (const Call& c : calls) {
        out << "  fd" << c.fd << ' ';
        switch (c.op) {
            case Op::Open:
                out << "open";
                break;
            case Op::Close:
                out << "close";
                break;
            case Op::Read:
                out << "read " << c.count << " -> 0x" << std::hex << c.value << std::dec;
                break;
            case Op::Write:
                out << "write 0x" << std::hex << c.value << std::dec;
                break;
            case Op::Ioctl:
                out << RequestName(c.request) << " 0x" << std::hex << c.value << std::dec;
                break;
        }
        out << '\n';
    }
    return out.str();
}

Tree::Tree(const std::vector<std::pair<int, unsigned>>& ports, const char* modes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ppdev-tree-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    dir_ = pattern;
    std::filesystem::create_directories(dir_ / "proc" / "default");
    std::filesystem::create_directories(dir_ / "dev");
    for (auto [n, base] : ports) {
        auto port_dir = dir_ / "proc" / ("parport" + std::to_string(n));
        std::filesystem::create_directories(port_dir);
        std::ofstream(port_dir / "base-addr") << base << '\t' << base + 0x400 << '\n';
        std::ofstream(port_dir / "modes") << modes << '\n';
    }
}

Tree::~Tree() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

portio::ppdev::Roots Tree::roots() const {
    return {(dir_ / "proc").string(), (dir_ / "dev").string()};
}

}  // namespace fakekernel
