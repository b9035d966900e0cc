// Files the user has are replaced only by a complete backup, and only where that is safe; files
// that are not plain images are refused before the cartridge is erased.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t k1MiB = 0x100000;
constexpr std::uint32_t k2MiB = 0x200000;
constexpr std::uint32_t k4MiB = 0x400000;

const std::string kAsk = "Overwrite file with backup?\n";
const std::string kCantOpen = "Can't open file!\n";

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

unsigned NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

class Files : public TidewickRun {
  protected:
    void SetUp() override {
        TidewickRun::SetUp();
        cart_ = SampleImage(k1MiB, false, 5);
        WriteFile("cart.bin", cart_);
    }
    Bytes cart_;
};

TEST_F(Files, BackupTargets) {
    const Bytes old_file(1000, 0x5A);
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::string target;  // the argument
        std::string input;
        Env env;
        std::string out;  // after the file name line, progress collapsed
        int exit_code;
        std::string holder;  // the file that ends up holding the backup or the old bytes
        bool replaced;       // the holder holds the backup (else the old bytes)
        unsigned mode;       // the holder's permissions afterwards (0: not checked)
    };
    Env honour;
    honour.honour_permissions = true;
    const std::string done = "\rBacking up... 0x0FFF00 (100%)\n";
    const Case cases[] = {
        {"a new name gets the default permissions",
         [] {},
         "new.bin",
         "",
         {},
         done,
         0,
         "new.bin",
         true,
         NewFileMode()},
        {"a replaced file keeps its permissions",
         [&] {
             WriteFile("old.bin", old_file);
             chmod(Path("old.bin").c_str(), 0640);
         },
         "old.bin",
         "y",
         {},
         kAsk + done,
         0,
         "old.bin",
         true,
         0640},
        {"a symbolic link: its target is replaced, the link stays",
         [&] {
             fs::create_directory(Path("real"));
             WriteFile("real/data.bin", old_file);
             fs::create_symlink("real/data.bin", Path("link.bin"));
         },
         "link.bin",
         "y",
         {},
         kAsk + done,
         0,
         "real/data.bin",
         true,
         0},
        {"a link to a missing file creates the file",
         [&] {
             fs::create_directory(Path("real"));
             fs::create_symlink("real/new.bin", Path("link.bin"));
         },
         "link.bin",
         "y",
         {},
         kAsk + done,
         0,
         "real/new.bin",
         true,
         0},
        {"a file that cannot be read is still asked about",
         [&] {
             WriteFile("old.bin", old_file);
             chmod(Path("old.bin").c_str(), 0200);
         },
         "old.bin", "n", honour, kAsk, 0, "old.bin", false, 0200},
        {"a read-only file stays",
         [&] {
             WriteFile("old.bin", old_file);
             chmod(Path("old.bin").c_str(), 0444);
         },
         "old.bin", "y", honour, kAsk + kCantOpen, 1, "old.bin", false, 0444},
        {"a read-only folder",
         [&] {
             fs::create_directory(Path("sub"));
             WriteFile("sub/old.bin", old_file);
             chmod(Path("sub").c_str(), 0555);
         },
         "sub/old.bin", "y", honour, kAsk + kCantOpen, 1, "sub/old.bin", false, 0},
        {"a loop of links is left alone",
         [&] {
             fs::create_symlink("link.bin", Path("loop.bin"));
             fs::create_symlink("loop.bin", Path("link.bin"));
         },
         "link.bin",
         "y",
         {},
         kAsk + kCantOpen,
         1,
         "",
         false,
         0},
        {"a FIFO without a reader is refused, not replaced",
         [&] { mkfifo(Path("fifo").c_str(), 0600); },
         "fifo",
         "y",
         {},
         kAsk + kCantOpen,
         1,
         "",
         false,
         0},
        {"the simulated cartridge itself",
         [] {},
         "cart.bin",
         "y",
         {},
         kCantOpen + "That file holds the simulated cartridge itself.\n",
         1,
         "",
         false,
         0},
        {"the simulated cartridge through a link",
         [&] { fs::create_symlink("cart.bin", Path("cart.lnk")); },
         "cart.lnk",
         "y",
         {},
         kCantOpen + "That file holds the simulated cartridge itself.\n",
         1,
         "",
         false,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.env.honour_permissions && !CanHonourPermissions()) {
            std::printf("skipped (root without setpriv): %s\n", c.name);
            continue;
        }
        c.setup();
        Result r = Run({"/b", c.target}, c.input, c.env);
        EXPECT_EQ(Collapse(r.out), kBanner + Filename(c.target) + c.out);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(Cart(), cart_);
        if (!c.holder.empty()) {
            EXPECT_EQ(ReadFile(c.holder), c.replaced ? cart_ : old_file);
            if (c.mode != 0) {
                EXPECT_EQ(ModeOf(Path(c.holder)), c.mode);
            }
        }
        // Only a regular file is replaced: the link and the FIFO are still what they were.
        if (c.target == "link.bin") {
            EXPECT_TRUE(fs::is_symlink(Path("link.bin")));
        }
        if (c.target == "fifo") {
            EXPECT_TRUE(fs::is_fifo(Path("fifo")));
        }
        EXPECT_TRUE(Leftovers().empty());
        if (fs::exists(Path("sub"))) chmod(Path("sub").c_str(), 0755);
        for (const char* name :
             {"new.bin", "old.bin", "link.bin", "loop.bin", "fifo", "cart.lnk"}) {
            Remove(name);
        }
        fs::remove_all(Path("real"));
        fs::remove_all(Path("sub"));
    }
}

// A stream has nothing to keep: it gets the backup in place, once the backup is complete.
TEST_F(Files, AFifoWithAReaderGetsTheBackup) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    // Our own writer end keeps the reader from seeing an end before the program opens it.
    int reader = open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    int keep_open = open(Path("fifo").c_str(), O_WRONLY);
    ASSERT_GE(keep_open, 0);
    fcntl(reader, F_SETFL, fcntl(reader, F_GETFL) & ~O_NONBLOCK);
    Bytes received;
    std::thread drain([&] {
        char buf[65536];
        while (received.size() < k1MiB) {
            ssize_t n = read(reader, buf, sizeof buf);
            if (n <= 0) break;
            received.insert(received.end(), buf, buf + n);
        }
    });
    Result r = Run({"/b", "fifo"}, "y");
    close(keep_open);
    drain.join();
    close(reader);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(received, cart_);
    EXPECT_TRUE(fs::is_fifo(Path("fifo")));
}

TEST_F(Files, AFolderThatVanishesAtTheQuestion) {
    fs::create_directory(Path("sub"));
    WriteFile("sub/old.bin", Bytes(1000, 0x5A));
    Session s = StartSession({"/b", "sub/old.bin"});
    ASSERT_TRUE(ReadUntil(&s, kAsk)) << s.out;
    fs::remove_all(Path("sub"));
    Type(&s, "y");
    Result r = Finish(&s);
    EXPECT_EQ(r.out, kBanner + Filename("sub/old.bin") + kAsk + kCantOpen);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_FALSE(fs::exists(Path("sub")));
}

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
