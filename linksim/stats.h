// Counters of what the simulated linker and cartridge saw, for tests and measurements.
#pragma once

#include <cstdint>
#include <string>

namespace linksim {

// Lowest and highest cartridge byte touched by one kind of access; empty while count is 0.
struct AddressRange {
    std::uint64_t count = 0;
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    void Add(std::uint32_t first, std::uint32_t last) {
        if (count == 0 || first < low) low = first;
        if (count == 0 || last > high) high = last;
        ++count;
    }
};

struct Stats {
    std::uint64_t port_reads = 0;
    std::uint64_t port_writes = 0;
    std::uint64_t address_cycles = 0;  // linker register selections, EPP or played on SPP lines
    std::uint64_t data_writes = 0;     // data cycles that wrote a linker register
    std::uint64_t data_reads = 0;      // data cycles that read a linker register
    std::uint64_t flash_reads = 0;     // bus reads that reached a flash chip
    std::uint64_t flash_writes = 0;    // bus writes that reached a flash chip
    std::uint64_t program_commands = 0;
    std::uint64_t program_failures = 0;  // programs that ended with DQ5 set
    std::uint64_t sector_erases = 0;
    std::uint64_t chip_erases = 0;
    std::uint64_t resets = 0;  // reset commands taken by a chip
    AddressRange read;         // array bytes read in read mode
    AddressRange programmed;   // bytes a program command wrote
    AddressRange erased;       // bytes an erase cleared (one entry per erase)
};

// The counters as `name=value` lines; ranges as name_count, name_low, name_high (hex).
std::string FormatStats(const Stats& stats);

}  // namespace linksim
