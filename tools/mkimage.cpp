// mkimage: writes a sample game image with a valid header and a deterministic body.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/image_gen.h"

namespace {

void Usage(std::FILE* out) {
    std::fputs(
        "usage: mkimage [--size-mbit 4|8|16|32] [--marker copyright|licensed] [--title TEXT]\n"
        "               [--colour | --mono] [--seed N] [--startup HEX] [--id HEX] [--subid HEX]\n"
        "               OUT.ngp\n"
        "Writes a sample image (default 16 Mbit, colour, \"SAMPLE GAME\").\n",
        out);
}

bool Number(const char* text, int radix, unsigned long max, unsigned long* out) {
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, radix);
    if (errno != 0 || end == text || *end != '\0' || v > max) return false;
    *out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    imagegen::ImageSpec spec;
    const char* out_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "mkimage: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        unsigned long n = 0;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--size-mbit") {
            const char* v = value("--size-mbit");
            if (!Number(v, 10, 64, &n) || !imagegen::IsValidSize(static_cast<unsigned>(n))) {
                std::fprintf(stderr, "mkimage: size must be 4, 8, 16 or 32 (Mbit), not '%s'\n", v);
                return 2;
            }
            spec.size_mbit = static_cast<unsigned>(n);
        } else if (arg == "--marker") {
            std::string v = value("--marker");
            if (v != "copyright" && v != "licensed") {
                std::fprintf(stderr, "mkimage: marker must be copyright or licensed\n");
                return 2;
            }
            spec.licensed_marker = v == "licensed";
        } else if (arg == "--title") {
            spec.title = value("--title");
            if (spec.title.size() > 12) {
                std::fprintf(stderr, "mkimage: a title holds at most 12 characters\n");
                return 2;
            }
        } else if (arg == "--colour" || arg == "--color") {
            spec.colour = true;
        } else if (arg == "--mono") {
            spec.colour = false;
        } else if (arg == "--seed" || arg == "--startup" || arg == "--id" || arg == "--subid") {
            const char* v = value(arg.c_str());
            int radix = arg == "--seed" ? 10 : 16;
            unsigned long max = arg == "--id" ? 0xFFFF : arg == "--subid" ? 0xFF : 0xFFFFFFFF;
            if (!Number(v, radix, max, &n)) {
                std::fprintf(stderr, "mkimage: bad value '%s' for %s\n", v, arg.c_str());
                return 2;
            }
            if (arg == "--seed") spec.seed = static_cast<std::uint32_t>(n);
            if (arg == "--startup") spec.startup_address = static_cast<std::uint32_t>(n);
            if (arg == "--id") spec.id_code = static_cast<std::uint16_t>(n);
            if (arg == "--subid") spec.id_sub_code = static_cast<std::uint8_t>(n);
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "mkimage: unknown option '%s'\n", arg.c_str());
            Usage(stderr);
            return 2;
        } else if (out_path != nullptr) {
            std::fprintf(stderr, "mkimage: only one output file\n");
            return 2;
        } else {
            out_path = argv[i];
        }
    }
    if (out_path == nullptr) {
        Usage(stderr);
        return 2;
    }
    std::vector<std::uint8_t> image = imagegen::MakeImage(spec);
    std::FILE* f = std::fopen(out_path, "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "mkimage: cannot create '%s': %s\n", out_path, std::strerror(errno));
        return 1;
    }
    bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "mkimage: cannot write '%s': %s\n", out_path, std::strerror(errno));
        std::remove(out_path);
        return 1;
    }
    return 0;
}
