// The parallel ports a system lists: the kernel's port driver's, and PCI cards of the
// parallel-port class, read from stand-in /proc and /sys folders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "portio/parallel_ports_linux.h"

namespace {

namespace fs = std::filesystem;

class Folder {
  public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "ports-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~Folder() { fs::remove_all(path_); }
    void Write(const std::string& name, const std::string& text) const {
        fs::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name) << text;
    }
    std::string operator/(const char* name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

TEST(ParallelPorts, TheKernelsPortsInTheirOrder) {
    Folder proc;
    proc.Write("parport1/base-addr", "53264\t53248\n");
    proc.Write("parport0/base-addr", "888\t1912\n");
    proc.Write("parport2/base-addr", "not a number\n");
    proc.Write("parportx/base-addr", "632\n");
    proc.Write("default/timeslice", "200\n");
    const std::vector<portio::KernelPort> ports = portio::KernelPorts(proc / "");
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].number, 0);
    EXPECT_EQ(ports[0].base, 0x378);
    EXPECT_EQ(ports[1].number, 1);
    EXPECT_EQ(ports[1].base, 0xD010);
    EXPECT_TRUE(portio::KernelPorts(proc / "missing").empty());
}

TEST(ParallelPorts, TheIoRangesOfParallelPortCards) {
    Folder pci;
    // A parallel-port card: two I/O ranges and a memory range.
    pci.Write("0000:03:00.0/class", "0x070102\n");
    pci.Write("0000:03:00.0/resource",
              "0x000000000000d010 0x000000000000d017 0x0000000000040101\n"
              "0x000000000000d000 0x000000000000d007 0x0000000000040101\n"
              "0x00000000fe000000 0x00000000fe000fff 0x0000000000040200\n"
              "0x0000000000000000 0x0000000000000000 0x0000000000000000\n");
    // A serial card's I/O range is not a parallel port.
    pci.Write("0000:04:00.0/class", "0x070002\n");
    pci.Write("0000:04:00.0/resource",
              "0x000000000000c000 0x000000000000c007 0x0000000000040101\n");
    EXPECT_EQ(portio::PciParallelBases(pci / ""), (std::vector<std::uint16_t>{0xD010, 0xD000}));
}

}  // namespace
