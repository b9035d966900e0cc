#include "linksim/options.h"

#include <cerrno>
#include <cstdlib>

namespace linksim {
namespace {

bool ParseNumber(std::string_view text, int radix, std::uint64_t max, std::uint64_t* out) {
    if (text.empty()) return false;
    std::string s(text);
    if (radix == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s = s.substr(2);
    }
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s.c_str(), &end, radix);
    if (errno != 0 || *end != '\0' || v > max) return false;
    *out = v;
    return true;
}

}  // namespace

bool ParseOptions(std::string_view text, Options* out, std::string* error) {
    Options opts = *out;
    while (!text.empty()) {
        std::size_t comma = text.find(',');
        std::string_view word = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (word.empty()) continue;

        std::size_t eq = word.find('=');
        std::string_view key = word.substr(0, eq);
        std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : word.substr(eq + 1);
        bool has_value = eq != std::string_view::npos;
        auto bad = [&](const char* what) {
            *error = "LINKSIM_OPTS: bad value in '" + std::string(word) + "': " + what;
            return false;
        };
        std::uint64_t n = 0;
        if (key == "spp" && !has_value) {
            opts.spp = true;
        } else if (key == "nolinker" && !has_value) {
            opts.nolinker = true;
        } else if (key == "nocart" && !has_value) {
            opts.nocart = true;
        } else if (key == "erase-hang" && !has_value) {
            opts.erase_hang = true;
        } else if (key == "base" && has_value) {
            // Base + 0 to base + 4 must lie in the 16-bit port space.
            if (!ParseNumber(value, 16, 0xFFFB, &n)) {
                return bad("a hexadecimal port base up to fffb (room for five registers)");
            }
            opts.base = static_cast<std::uint16_t>(n);
        } else if (key == "stuck" && has_value) {
            if (!ParseNumber(value, 16, 0x3FFFFF, &n)) {
                return bad("a hexadecimal cartridge address up to 3fffff is expected");
            }
            opts.stuck = static_cast<std::uint32_t>(n);
        } else if (key == "erase-timeout" && has_value) {
            if (!ParseNumber(value, 10, UINT64_MAX, &n) || n == 0) {
                return bad("a decimal count from 1 is expected");
            }
            opts.erase_timeout = n;
        } else if (key == "unplug-after" && has_value) {
            if (!ParseNumber(value, 10, UINT64_MAX, &n)) return bad("a decimal count is expected");
            opts.unplug_after = n;
        } else if (key == "program-reads" && has_value) {
            if (!ParseNumber(value, 10, 0xFFFFFFFF, &n)) return bad("a decimal count is expected");
            opts.program_reads = static_cast<std::uint32_t>(n);
        } else if (key == "erase-reads" && has_value) {
            if (!ParseNumber(value, 10, 0xFFFFFFFF, &n)) return bad("a decimal count is expected");
            opts.erase_reads = static_cast<std::uint32_t>(n);
        } else if (key == "stats" && has_value) {
            if (value.empty()) return bad("a file name is expected");
            opts.stats_file = std::string(value);
        } else {
            *error = "LINKSIM_OPTS: unknown option '" + std::string(word) +
                     "' (known: base=, spp, nolinker, nocart, stuck=, erase-hang, erase-timeout=, "
                     "unplug-after=, "
                     "program-reads=, erase-reads=, stats=)";
            return false;
        }
    }
    *out = opts;
    return true;
}

}  // namespace linksim
