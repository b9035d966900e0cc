// Files that are not plain images, or do not fit the cartridge, are refused before the
// cartridge is erased; an image that changes under the tool does not end as a success.
#include <string>
#include <vector>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

constexpr std::uint32_t k1MiB = 0x100000;
constexpr std::uint32_t k2MiB = 0x200000;
constexpr std::uint32_t k4MiB = 0x400000;

class Files : public TidewickRun {
  protected:
    void SetUp() override {
        TidewickRun::SetUp();
        cart_ = SampleImage(k1MiB, false, 5);
        WriteFile("cart.bin", cart_);
    }
    Bytes cart_;
};

// `tidewick /b f >&-`: without this the backup would take descriptor 1 and the progress lines.
TEST_F(Files, ClosedStandardDescriptorsAreNotReused) {
    pid_t pid = Start({"/b", "f.bin"}, {}, -1, -1, -1);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(Wait(pid), 0);
    EXPECT_EQ(ReadFile("f.bin"), cart_);
}

TEST_F(Files, ImagesLargerThanTheCartridge) {
    const Bytes game_2mib = SampleImage(k2MiB, false, 2);
    const Bytes image_4mib = SampleImage(k4MiB, false, 4);
    Bytes image_5mib = image_4mib;
    image_5mib.resize(0x500000, 0x00);
    Bytes cart_twice = cart_;  // the 1 MiB cartridge as it reads over 2 MiB
    cart_twice.insert(cart_twice.end(), cart_.begin(), cart_.end());
    struct Case {
        const char* name;
        Bytes cart;
        Bytes file;
        std::vector<std::string> args;
        std::string out;  // after the file name line, progress collapsed
        std::uint64_t erases;
        Bytes cart_after;
    };
    Bytes first_page = Bytes(k2MiB, 0xFF);
    std::copy_n(image_4mib.begin(), 0x100, first_page.begin());
    const Case cases[] = {
        {"measured before the erase",
         game_2mib,
         image_4mib,
         {"/w", "/y", "f.bin"},
         "\rFile is larger than the cartridge (0x400000 > 0x200000 bytes)!\n",
         0,
         game_2mib},
        // A blank cartridge cannot be measured before the erase: once the image's header is
        // on it, before anything lands past its end.
        {"measured after the first page on a blank cartridge",
         Bytes(k2MiB, 0xFF),
         image_4mib,
         {"/w", "/y", "f.bin"},
         "Erasing...\n\rProgramming... 0x000000 (0%)"
         "\rFile is larger than the cartridge (0x400000 > 0x200000 bytes)!\n",
         1,
         first_page},
        {"larger than any cartridge, not even read",
         game_2mib,
         image_5mib,
         {"/w", "/y", "f.bin"},
         "\rFile is larger than the cartridge (0x500000 > 0x200000 bytes)!\n",
         0,
         game_2mib},
        // Its second half would be compared with the first through the mirror and pass.
        {"a verify file longer than the cartridge",
         cart_,
         cart_twice,
         {"/v", "f.bin"},
         "\rFile is larger than the cartridge (0x200000 > 0x100000 bytes)!\n",
         0,
         cart_},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("cart.bin", c.cart);
        WriteFile("f.bin", c.file);
        Result r = Run(c.args);
        EXPECT_EQ(Collapse(r.out), kBanner + Filename("f.bin") + c.out);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.Stat("chip_erases"), c.erases);
        EXPECT_TRUE(Cart() == c.cart_after);
    }
}

TEST_F(Files, AnImageThatChangesDuringTheWriteFails) {
    const Bytes image = SampleImage(0x10000);
    MakeCart(k1MiB, image);
    WriteFile("game.ngp", image);
    // The matching ID asks before the erase, with the image already read.
    Session s = StartSession({"/w", "game.ngp"});
    ASSERT_TRUE(ReadUntil(&s, "Cartridge ID matches with file, erase first?\n")) << s.out;
    WriteFile("game.ngp", Bytes(image.begin(), image.begin() + 0x8000));
    Type(&s, "y");
    Result r = Finish(&s);
    EXPECT_TRUE(
        r.out.ends_with("\rProgramming... 0x010000 (100%)\rFile changed while it was in use!\n"))
        << r.out;
    EXPECT_EQ(r.exit_code, 1);
}

}  // namespace
}  // namespace tidewick_e2e
