#include "linksim/stats.h"

#include <cstdio>

namespace linksim {
namespace {

void Line(std::string* out, const char* name, std::uint64_t value) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s=%llu\n", name, static_cast<unsigned long long>(value));
    *out += buf;
}

void Range(std::string* out, const char* name, const AddressRange& r) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s_count=%llu\n%s_low=%06x\n%s_high=%06x\n", name,
                  static_cast<unsigned long long>(r.count), name, r.low, name, r.high);
    *out += buf;
}

}  // namespace

std::string FormatStats(const Stats& s) {
    std::string out;
    Line(&out, "port_reads", s.port_reads);
    Line(&out, "port_writes", s.port_writes);
    Line(&out, "address_cycles", s.address_cycles);
    Line(&out, "data_writes", s.data_writes);
    Line(&out, "data_reads", s.data_reads);
    Line(&out, "flash_reads", s.flash_reads);
    Line(&out, "flash_writes", s.flash_writes);
    Line(&out, "program_commands", s.program_commands);
    Line(&out, "program_failures", s.program_failures);
    Line(&out, "sector_erases", s.sector_erases);
    Line(&out, "chip_erases", s.chip_erases);
    Line(&out, "resets", s.resets);
    Range(&out, "read", s.read);
    Range(&out, "programmed", s.programmed);
    Range(&out, "erased", s.erased);
    return out;
}

}  // namespace linksim
