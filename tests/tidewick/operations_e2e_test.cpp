// The four operations on simulated cartridges: their output as the console finally shows it,
// exit codes, the cartridge and backup files afterwards, and the simulator's counters.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

constexpr std::uint32_t k1MiB = 0x100000;
constexpr std::uint32_t k2MiB = 0x200000;
constexpr std::uint32_t k4MiB = 0x400000;

using Operations = TidewickRun;

Bytes Prefix(const Bytes& bytes, std::size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + n);
}

TEST_F(Operations, WriteThenInfoBackupVerifyWhateverTheSwitchOrder) {
    const Bytes image = SampleImage(0x10000);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        std::uint32_t cart_size;
        std::string after_write;
    };
    const std::string verify_image = "\rVerifying... 0x010000 (100%)\n";
    const Case cases[] = {
        {"/w /v", {"/w", "/v", "game.ngp"}, "", k4MiB, verify_image},
        {"/v /w", {"/v", "/w", "game.ngp"}, "", k4MiB, verify_image},
        // The backup replaces the image just written with the whole cartridge, which the
        // verify then compares.
        {"/b /v /i /w on one file",
         {"/b", "/v", "/i", "/w", "game.ngp"},
         "y",
         k1MiB,
         "License string  : \"COPYRIGHT BY SNK CORPORATION\"\n"
         "Startup address : 0x200040\n"
         "ID code         : 0x0042\n"
         "ID sub-code     : 0x01\n"
         "Color compatable: yes\n"
         "Title           : \"" +
             std::string(image.begin() + 0x24, image.begin() + 0x34) +
             "\"\n"
             "Overwrite file with backup?\n"
             "\rBacking up... 0x0FFF00 (100%)\n"
             "\rVerifying... 0x100000 (100%)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("game.ngp", image);
        MakeCart(c.cart_size, {});
        Result r = Run(c.args, c.input);
        EXPECT_EQ(Collapse(r.out), kBanner + Filename("game.ngp") + "Erasing...\n" +
                                       "\rProgramming... 0x010000 (100%)\n" + c.after_write);
        EXPECT_EQ(r.exit_code, 0);
        // A one-chip cartridge takes no command for chip 2.
        EXPECT_EQ(r.Stat("chip_erases"), c.cart_size == k4MiB ? 2u : 1u);
        Bytes cart = Cart();
        EXPECT_EQ(Prefix(cart, image.size()), image);
        EXPECT_EQ(Bytes(cart.begin() + image.size(), cart.end()),
                  Bytes(c.cart_size - image.size(), 0xFF));
    }
    EXPECT_EQ(ReadFile("game.ngp"), Cart());
}

TEST_F(Operations, MatchingCartridgeIdAsksBeforeErasing) {
    const Bytes image = SampleImage(0x10000);
    const std::string ask = "Cartridge ID matches with file, erase first?\n";
    struct Case {
        const char* name;
        std::string input;
        bool erased;
    };
    const Case cases[] = {
        {"n keeps the contents and programs nothing", "n", false},
        {"end of input answers no", "", false},
        {"Y erases", "Y", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("game.ngp", image);
        MakeCart(k4MiB, image);
        Result r = Run({"/w", "game.ngp"}, c.input);
        EXPECT_EQ(Collapse(r.out), kBanner + Filename("game.ngp") + ask +
                                       (c.erased ? "Erasing...\n" : "") +
                                       "\rProgramming... 0x010000 (100%)\n");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.Stat("chip_erases"), c.erased ? 2u : 0u);
        if (c.erased) {
            EXPECT_GT(r.Stat("program_commands"), 0u);
        } else {
            EXPECT_EQ(r.Stat("program_commands"), 0u);
        }
        EXPECT_EQ(Prefix(Cart(), image.size()), image);
    }
}

TEST_F(Operations, InvalidHeaderAsksWhetherToContinue) {
    const Bytes short_file = {'C', 'O', 'P', 'Y', 'R', 'I', 'G', 'H', 'T', ' '};
    Bytes licensed = SampleImage(0x1000, true);
    Bytes garbled = SampleImage(0x1000);
    garbled[3] = 'y';
    const std::string ask = "Invalid header found, continue?\n";
    const std::string end_short = "Erasing...\n\rProgramming... 0x000000 (0%)\n";
    // 4096 bytes: (4096 - 256) / 100 = 38, and 4096 / 38 = 107.
    const std::string end_4k = "Erasing...\n\rProgramming... 0x001000 (107%)\n";
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> args;
        std::string input;
        std::string out;
        int exit_code;
    };
    const Case cases[] = {
        {"short file, n", short_file, {"/w", "f.ngp"}, "n", ask, 1},
        {"short file, end of input", short_file, {"/w", "f.ngp"}, "", ask, 1},
        {"short file, y", short_file, {"/w", "f.ngp"}, "y", ask + end_short, 0},
        {"garbled marker, y", garbled, {"/w", "f.ngp"}, "y", ask + end_4k, 0},
        {"garbled marker with /y asks nothing", garbled, {"/w", "/y", "f.ngp"}, "", end_4k, 0},
        {"licensed marker is valid", licensed, {"/w", "f.ngp"}, "", end_4k, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("f.ngp", c.file);
        Remove("cart.bin");
        Result r = Run(c.args, c.input);
        EXPECT_EQ(Collapse(r.out), kBanner + Filename("f.ngp") + c.out);
        EXPECT_EQ(r.exit_code, c.exit_code);
        if (c.exit_code == 0) {
            EXPECT_EQ(Prefix(Cart(), c.file.size()), c.file);
        } else {
            EXPECT_EQ(r.Stat("chip_erases"), 0u);
        }
    }
}

TEST_F(Operations, ByteThatWillNotProgramEndsTheWrite) {
    const Bytes image = SampleImage(0x10000);
    ASSERT_EQ(image[0x100], 0x55);
    Bytes cleared = image;  // a byte already 0x00 on the cartridge cannot become 0x5A
    cleared[0x300] = 0x00;
    Bytes wanted = image;
    wanted[0x300] = 0x5A;
    struct Case {
        const char* name;
        std::string opts;
        Bytes cart;
        Bytes file;
        std::vector<std::string> args;
        std::string input;
        std::string out;
        std::uint64_t program_commands;
    };
    const auto programmed_before_0x100 = std::count_if(image.begin(), image.begin() + 0x100,
                                                       [](std::uint8_t b) { return b != 0xFF; });
    const Case cases[] = {
        {"stuck byte",
         "stuck=100",
         {},
         image,
         {"/w", "/y", "game.ngp"},
         "",
         "Erasing...\n\rProgramming... 0x000100 (0%)\rProgram error at 0x000100 (w:0x55, "
         "r:0xA0)!\n",
         static_cast<std::uint64_t>(programmed_before_0x100) + 1},
        {"erase declined over a cleared byte",
         "",
         cleared,
         wanted,
         {"/w", "game.ngp"},
         "n",
         "Cartridge ID matches with file, erase first?\n\rProgramming... 0x000300 (1%)"
         "\rProgram error at 0x000300 (w:0x5A, r:0xA0)!\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("game.ngp", c.file);
        if (c.cart.empty()) {
            Remove("cart.bin");
        } else {
            MakeCart(k4MiB, c.cart);
        }
        Env env;
        env.linksim_opts = c.opts;
        Result r = Run(c.args, c.input, env);
        EXPECT_EQ(Collapse(r.out), kBanner + Filename("game.ngp") + c.out);
        EXPECT_EQ(r.exit_code, 1);
        // The chip takes no command after its time-limit flag until a reset, and none comes
        // between the attempts: one failed program, at the failing byte.
        EXPECT_EQ(r.Stat("program_failures"), 1u);
        EXPECT_EQ(r.Stat("program_commands"), c.program_commands);
    }
}

TEST_F(Operations, VerifyStopsAtTheFirstDifference) {
    const Bytes image = SampleImage(0x20000);
    MakeCart(k4MiB, image);
    Bytes file = image;
    file[0x012345] = static_cast<std::uint8_t>(~image[0x012345]);
    WriteFile("game.ngp", file);
    Result r = Run({"/v", "game.ngp"});
    char error[80];
    std::snprintf(error, sizeof error, "\rVerify error at 0x012345 (w:0x%02X, r:0x%02X)!\n",
                  file[0x012345], image[0x012345]);
    EXPECT_EQ(Collapse(r.out),
              kBanner + Filename("game.ngp") + "\rVerifying... 0x012300 (56%)" + error);
    EXPECT_EQ(r.exit_code, 1);
}

TEST_F(Operations, VerifyProgressLinesForSmallFiles) {
    const Bytes image = SampleImage(0x1000);
    MakeCart(k4MiB, image);
    struct Case {
        std::size_t length;
        std::string out;
    };
    const Case cases[] = {
        {0, "\rVerifying... 0x000000 (0%)\n"},
        {255, "\rVerifying... 0x000000 (0%)\n"},
        {256, "\rVerifying... 0x000000 (0%)\rVerifying... 0x000100 (100%)\n"},
        {300, "\rVerifying... 0x000000 (0%)\rVerifying... 0x000100 (100%)\n"},
        {1000,
         "\rVerifying... 0x000000 (0%)\rVerifying... 0x000100 (36%)"
         "\rVerifying... 0x000200 (73%)\rVerifying... 0x000300 (109%)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        WriteFile("part.ngp", Prefix(image, c.length));
        Result r = Run({"/v", "part.ngp"});
        EXPECT_EQ(r.out, kBanner + Filename("part.ngp") + c.out);
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST_F(Operations, EmptyFileWithYesErasesBothChipsAndSucceeds) {
    MakeCart(k4MiB, SampleImage(0x1000));
    WriteFile("empty.ngp", {});
    Result r = Run({"/w", "/y", "empty.ngp"});
    EXPECT_EQ(r.out,
              kBanner + Filename("empty.ngp") + "Erasing...\n\rProgramming... 0x000000 (0%)\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.Stat("chip_erases"), 2u);
    EXPECT_EQ(Cart(), Bytes(k4MiB, 0xFF));
}

TEST_F(Operations, BackupIsAsLongAsTheMeasuredCartridge) {
    Bytes mirrored = SampleImage(0x1000);
    mirrored.resize(k2MiB + 28, 0xFF);
    std::copy_n(mirrored.begin(), 28, mirrored.begin() + k2MiB);
    // A blank header cannot be measured: all 4 MiB are kept, so data above 1 MiB is not lost.
    Bytes blank_header = SampleImage(0x1000);
    std::fill_n(blank_header.begin(), 28, 0xFF);
    blank_header.resize(0x300000, 0xFF);
    const Bytes high_data = SampleImage(0x1000, false, 9);
    blank_header.insert(blank_header.end(), high_data.begin(), high_data.end());
    struct Case {
        const char* name;
        std::uint32_t cart_size;
        Bytes contents;
        std::uint32_t backup_size;  // past the cartridge's own size the backup repeats it
        std::string last_line;
    };
    const Case cases[] = {
        {"1 MiB", k1MiB, SampleImage(k1MiB), k1MiB, "\rBacking up... 0x0FFF00 (100%)\n"},
        {"2 MiB", k2MiB, SampleImage(k2MiB, false, 2), k2MiB, "\rBacking up... 0x1FFF00 (100%)\n"},
        {"4 MiB", k4MiB, SampleImage(0x80000), k4MiB, "\rBacking up... 0x3FFF00 (100%)\n"},
        {"4 MiB whose header repeats at 2 MiB", k4MiB, mirrored, k2MiB,
         "\rBacking up... 0x1FFF00 (100%)\n"},
        {"4 MiB, blank header, data at 3 MiB", k4MiB, blank_header, k4MiB,
         "\rBacking up... 0x3FFF00 (100%)\n"},
        {"blank 1 MiB", k1MiB, {}, k4MiB, "\rBacking up... 0x3FFF00 (100%)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeCart(c.cart_size, c.contents);
        Remove("backup.bin");
        Result r = Run({"/b", "backup.bin"});
        EXPECT_EQ(Collapse(r.out), kBanner + Filename("backup.bin") + c.last_line);
        EXPECT_EQ(r.exit_code, 0);
        Bytes backup = ReadFile("backup.bin");
        EXPECT_EQ(backup.size(), c.backup_size);
        const Bytes cart = Cart();
        Bytes expected;
        while (expected.size() < c.backup_size)
            expected.insert(expected.end(), cart.begin(), cart.end());
        EXPECT_TRUE(backup == Prefix(expected, c.backup_size));
    }
}

TEST_F(Operations, BackupAsksBeforeReplacingAFileEvenWithYes) {
    const Bytes image = SampleImage(0x1000);
    MakeCart(k1MiB, image);
    const std::string ask = "Overwrite file with backup?\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        std::string out;
        std::size_t file_size;
    };
    // Declined, the old file stays and the verify in the same run compares against it.
    const Case cases[] = {
        {"n", {"/b", "/v", "old.bin"}, "n", ask + "\rVerifying... 0x000300 (109%)\n", 1000},
        {"n with /y", {"/y", "/b", "old.bin"}, "n", ask, 1000},
        {"end of input", {"/b", "old.bin"}, "", ask, 1000},
        {"y", {"/b", "old.bin"}, "y", ask + "\rBacking up... 0x0FFF00 (100%)\n", k1MiB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("old.bin", Prefix(image, 1000));
        Result r = Run(c.args, c.input);
        EXPECT_EQ(Collapse(r.out), kBanner + Filename("old.bin") + c.out);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(ReadFile("old.bin"), Prefix(Cart(), c.file_size));
    }
}

TEST_F(Operations, FilesThatCannotBeOpenedOrRead) {
    std::filesystem::create_directory(Path("folder"));
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    // An argument starting with "/" is a switch, so the device is reached through a link.
    std::filesystem::create_symlink("/dev/zero", Path("zero.dev"));
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"/w", "none.ngp"}, Filename("none.ngp") + "Can't open file to flash!\n"},
        {{"/w"}, "Can't open file to flash!\n"},
        {{"/v", "none.ngp"}, Filename("none.ngp") + "Can't open file for verify!\n"},
        {{"/v"}, "Can't open file for verify!\n"},
        {{"/b", "no/such/dir.bin"}, Filename("no/such/dir.bin") + "Can't open file!\n"},
        {{"/b"}, "Can't open file!\n"},
        // Refused before the cartridge is touched, and without waiting on a FIFO.
        {{"/v", "folder"},
         Filename("folder") + "Can't open file for verify!\nNot a regular file.\n"},
        {{"/w", "/y", "folder"},
         Filename("folder") + "Can't open file to flash!\nNot a regular file.\n"},
        {{"/v", "fifo"}, Filename("fifo") + "Can't open file for verify!\nNot a regular file.\n"},
        {{"/w", "/y", "fifo"},
         Filename("fifo") + "Can't open file to flash!\nNot a regular file.\n"},
        {{"/w", "/y", "zero.dev"},
         Filename("zero.dev") + "Can't open file to flash!\nNot a regular file.\n"},
        {{"/b", "folder"}, Filename("folder") + "Can't open file!\nNot a regular file.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        Result r = Run(c.args);
        EXPECT_EQ(r.out, kBanner + c.out);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.Stat("chip_erases"), 0u);
    }
    EXPECT_TRUE(std::filesystem::is_directory(Path("folder")));
    EXPECT_TRUE(std::filesystem::is_fifo(Path("fifo")));
}

TEST_F(Operations, BackupToAFullDiskFails) {
    MakeCart(k1MiB, SampleImage(k1MiB));
    // An argument starting with "/" is a switch, so the device is reached through a link.
    std::filesystem::create_symlink("/dev/full", Path("full.bin"));
    Result r = Run({"/b", "/v", "full.bin"}, "y");
    EXPECT_TRUE(r.out.starts_with(kBanner + Filename("full.bin") +
                                  "Overwrite file with backup?\n\rBacking up... 0x000000 (0%)"))
        << r.out;
    EXPECT_TRUE(
        r.out.ends_with(std::string("\rCan't write backup file: ") + std::strerror(ENOSPC) + "!\n"))
        << r.out;
    EXPECT_EQ(r.exit_code, 1);
}

TEST_F(Operations, InfoShowsTheCartridgeHeaderAsItIs) {
    struct Case {
        const char* name;
        bool licensed;
        std::uint8_t colour_mode;
        const char* colour;
    };
    const Case cases[] = {
        {"copyright, colour", false, 0x10, "yes"},
        {"licensed, colour bit among others", true, 0x11, "yes"},
        {"monochrome", false, 0x00, "no"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes header = SampleImage(0x1000, c.licensed);
        const std::uint8_t fields[] = {0x56, 0x34, 0x12, 0x00, 0xEF, 0xBE, 0x7A};
        std::copy(std::begin(fields), std::end(fields), header.begin() + 0x1C);
        header[0x23] = c.colour_mode;
        const char title[] = "AB\0CD\x01\x7f";
        std::copy(std::begin(title), std::end(title), header.begin() + 0x24);
        header[0x33] = '!';
        MakeCart(k4MiB, header);
        Result r = Run({"/i"});
        EXPECT_EQ(r.out, kBanner + "License string  : \"" +
                             (c.licensed ? " LICENSED" : "COPYRIGHT") +
                             " BY SNK CORPORATION\"\n"
                             "Startup address : 0x123456\n"
                             "ID code         : 0xBEEF\n"
                             "ID sub-code     : 0x7A\n"
                             "Color compatable: " +
                             c.colour + "\nTitle           : \"" +
                             std::string(header.begin() + 0x24, header.begin() + 0x34) + "\"\n");
        EXPECT_EQ(r.exit_code, 0);
    }
}

// Counted, not timed: what one more stretch of a file costs in port accesses, against the
// link's cost rules (SetAddress 12 writes, ReadData and WriteData 2 accesses each; the link
// check a status read, a SetAddress, a control write and three register reads).
TEST_F(Operations, PortAccessesFollowTheCostRules) {
    const Bytes image = SampleImage(0x10000);
    WriteFile("64k.bin", image);
    WriteFile("32k.bin", Prefix(image, 0x8000));
    WriteFile("zero512.bin", Bytes(512, 0x00));
    WriteFile("zero256.bin", Bytes(256, 0x00));
    constexpr std::uint64_t kLinkCheck = 1 + 12 + 1 + 3 * 2;
    struct Case {
        const char* name;
        std::vector<std::string> more;
        std::vector<std::string> less;
        std::uint64_t difference;
    };
    const Case cases[] = {
        // One address per 256 bytes, the turn to reading, then one sequential read per byte;
        // one more 32 KB block boundary with its link check.
        {"verify of 32 KiB more",
         {"/v", "64k.bin"},
         {"/v", "32k.bin"},
         0x8000 + 128 * (12 + 1) + kLinkCheck},
        // Reset of both chips (6 command cycles), one address, 52 sequential reads, the check
        // that the linker gave them.
        {"info", {"/i"}, {}, 6 * 14 + 12 + 52 * 2 + kLinkCheck},
        // Per programmed byte four command cycles and three status reads (the simulated chip
        // is busy for two); the block's address and the one read in sequence before the
        // first program.
        {"write of 256 programmed bytes more",
         {"/w", "/y", "zero512.bin"},
         {"/w", "/y", "zero256.bin"},
         256 * (4 * 14 + 3 * 2) + 12 + 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto accesses = [&](const std::vector<std::string>& args) {
            MakeCart(k4MiB, image);
            Result r = Run(args);
            EXPECT_EQ(r.exit_code, 0) << r.out;
            return r.Stat("port_reads") + r.Stat("port_writes");
        };
        EXPECT_EQ(accesses(c.more) - accesses(c.less), c.difference);
    }
}

}  // namespace
}  // namespace tidewick_e2e
