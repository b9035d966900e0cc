#include "tools/image_gen.h"

#include <algorithm>
#include <cstring>

namespace imagegen {
namespace {

// A small xorshift generator: the same seed gives the same image on every platform.
struct Rng {
    std::uint32_t state;
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

constexpr std::size_t kRun = 4096;

}  // namespace

bool IsValidSize(unsigned size_mbit) {
    return size_mbit == 4 || size_mbit == 8 || size_mbit == 16 || size_mbit == 32;
}

std::vector<std::uint8_t> MakeImage(const ImageSpec& spec) {
    std::size_t size =
        spec.size_bytes != 0 ? std::size_t{spec.size_bytes} : std::size_t{spec.size_mbit} * 0x20000;
    std::vector<std::uint8_t> image(size, 0xFF);
    Rng rng{spec.seed * 2654435761u + 0x9E3779B9u};
    if (rng.state == 0) rng.state = 1;

    // The last eighth stays erased, like the unused end of a real cartridge; before it, about
    // one 4 KiB run in six is left 0xFF, and the rest is data that holds 0xFF bytes too.
    std::size_t used = size - size / 8;
    for (std::size_t run = 0; run < used; run += kRun) {
        if (run != 0 && rng.Next() % 6 == 0) continue;
        for (std::size_t i = run; i < std::min(run + kRun, used); ++i) {
            std::uint32_t r = rng.Next();
            image[i] = static_cast<std::uint8_t>(r % 7 == 0 ? 0xFF : r >> 8);
        }
    }

    std::uint8_t header[0x40] = {};
    std::memcpy(header, spec.licensed_marker ? kLicensedMarker : kCopyrightMarker, 28);
    for (int i = 0; i < 4; ++i)
        header[0x1C + i] = static_cast<std::uint8_t>(spec.startup_address >> (8 * i));
    header[0x20] = static_cast<std::uint8_t>(spec.id_code);
    header[0x21] = static_cast<std::uint8_t>(spec.id_code >> 8);
    header[0x22] = spec.id_sub_code;
    header[0x23] = spec.colour ? 0x10 : 0x00;
    std::size_t n = std::min<std::size_t>(spec.title.size(), 12);
    std::memcpy(header + 0x24, spec.title.data(), n);
    std::copy(std::begin(header), std::end(header), image.begin());
    return image;
}

}  // namespace imagegen
