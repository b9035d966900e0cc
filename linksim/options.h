// LINKSIM_OPTS: the comma-separated words that shape the simulated linker and cartridge.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace linksim {

struct Options {
    std::uint16_t base = 0x378;          // the port the linker hangs on: base + 0 to base + 4
    bool spp = false;                    // no EPP hardware: only cycles on the control lines arrive
    bool nolinker = false;               // nothing attached to the port
    bool nocart = false;                 // linker without cartridge: flash reads give 0x00
    std::optional<std::uint32_t> stuck;  // cartridge byte that cannot be programmed
    bool erase_hang = false;             // an erase never finishes
    std::uint64_t erase_timeout = 0;     // the erase that clears its cells, then reports DQ5
    std::optional<std::uint64_t> unplug_after;  // port accesses before the linker goes silent
    std::uint32_t program_reads = 2;            // status reads a byte program stays busy
    std::uint32_t erase_reads = 1000;           // status reads an erase stays busy
    std::string stats_file;                     // counters written here when the device closes
};

// Parses `text` into `out`. On an unknown word or a bad value returns false with a message that
// names the word; `out` is then unchanged.
bool ParseOptions(std::string_view text, Options* out, std::string* error);

}  // namespace linksim
