// A stand-in for the kernel's parallel-port device: records every system call the ppdev
// backend makes and answers from a script, plus a /proc and /dev tree in a temporary folder.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "portio/ppdev_linux.h"

namespace fakekernel {

enum class Op { Open, Ioctl, Read, Write, Close };

struct Call {
    Op op;
    int fd;
    unsigned long request;  // ioctl only
    int value;              // the byte written, the (first) byte read, or the PPSETMODE mode
    int count = 1;          // bytes a read() or write() asked for
    bool operator==(const Call&) const = default;
};

struct State {
    std::vector<Call> calls;
    std::vector<std::string> opened_paths;
    std::vector<int> open_flags;
    int next_fd = 10;
    int open_errno = 0;                // non-zero: open fails with it
    int claim_errno = 0;               // non-zero: PPCLAIM fails with it
    int setmode_errno = 0;             // non-zero: PPSETMODE fails with it
    std::deque<std::uint8_t> answers;  // PPRDATA/PPRSTATUS/PPRCONTROL/read(), in order
    bool read_times_out = false;       // read() returns -1 EAGAIN
    int read_limit = -1;               // >= 0: read() delivers at most this many bytes
};

State& Kernel();  // reset by Reset()
void Reset();
const portio::ppdev::Syscalls& FakeSyscalls();

std::string Describe(const std::vector<Call>& calls);

inline constexpr const char* kEppModes = "PCSPP,TRISTATE,EPP";
inline constexpr const char* kEcpEppModes = "PCSPP,TRISTATE,COMPAT,EPP,ECP";

// A folder holding proc/parportN/base-addr and modes for each (N, base) and an empty dev/.
class Tree {
  public:
    explicit Tree(const std::vector<std::pair<int, unsigned>>& ports,
                  const char* modes = kEppModes);
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    portio::ppdev::Roots roots() const;
    std::filesystem::path dir() const { return dir_; }

  private:
    std::filesystem::path dir_;
};

}  // namespace fakekernel
