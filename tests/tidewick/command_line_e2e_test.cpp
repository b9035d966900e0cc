// The command line, the port choice, the start-up checks and the pause after an error, run on
// the simulated linker.
#include <string>
#include <vector>

#include "linksim/options.h"
#include "tests/tidewick/tidewick_runner.h"

namespace tidewick_e2e {
namespace {

const std::string kHelp =
    "Syntax: Tidewick [<option(s)>] [<filename>]\n"
    "\n"
    "  /?           Shows this help screen.\n"
    "  /p<port>     Specified the port to use. Default = 0x378.\n"
    "                 (overridden by TWKPORT environment setting)\n"
    "  /w           Write & verify the specified file.\n"
    "  /v           Verify the specified file.\n"
    "  /i           Displays cartridge info.\n"
    "  /b           Backs up cartridge.\n"
    "  /y           Use YES on all questions.\n"
    "  /e           Pause on errors.\n"
    "  <filename>   File to write, backup or/and verify.\n"
    "\n"
    "For example: \"Tidewick /b /i /v /w mygame.ngp\" would\n"
    "  flash mygame.ngp, display info, back-up and then verify.\n"
    "  Quite useless example, but it shows the sequence.\n"
    "\n";

const std::string kPause = "Press any key to continue...\n";

// The simulator's own refusal, shown as it words it.
std::string RefusedOptions(const char* opts) {
    linksim::Options options;
    std::string error;
    EXPECT_FALSE(linksim::ParseOptions(opts, &options, &error));
    return error + "\n";
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    Env env;
    std::string out;  // after the banner
    int exit_code;
};

class CommandLine : public TidewickRun {
  protected:
    void RunTable(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            Result r = Run(c.args, "", c.env);
            EXPECT_EQ(r.out, kBanner + c.out);
            EXPECT_EQ(r.exit_code, c.exit_code);
        }
    }
};

TEST_F(CommandLine, SwitchesAndPorts) {
    Env at278;
    at278.linksim_opts = "base=0x278";
    Env at3bc;
    at3bc.linksim_opts = "base=0x3bc";
    at3bc.twkport = "956";
    Env twk956;
    twk956.twkport = "956";
    Env twk_empty;
    twk_empty.twkport = "";
    RunTable({
        {"no arguments checks linker and cartridge", {}, {}, "", 0},
        {"/P888", {"/P888"}, {}, "", 0},
        {"-p888", {"-p888"}, {}, "", 0},
        {"/p632 finds a linker at 0x278", {"/p632"}, at278, "", 0},
        {"/p632 is 0x278", {"/p632"}, {}, NotFound("278"), 1},
        {"/p0x378 is port 0", {"/p0x378"}, {}, NotFound("  0"), 1},
        {"TWKPORT wins over /p", {"/p888"}, at3bc, "", 0},
        {"TWKPORT wins over a later /p", {"/p888"}, twk956, NotFound("3BC"), 1},
        {"empty TWKPORT is port 0", {}, twk_empty, NotFound("  0"), 1},
        {"/x", {"/x"}, {}, "Warning: Invalid option 'x'!\n", 0},
        {"/X keeps its case",
         {"/X", "-q"},
         {},
         "Warning: Invalid option 'X'!\nWarning: Invalid option 'q'!\n",
         0},
        {"lone slash names the NUL after it",
         {"/"},
         {},
         std::string("Warning: Invalid option '\0'!\n", 29),
         0},
        {"long switch names count by their letter",
         {"/Verify", "none.ngp"},
         {},
         Filename("none.ngp") + "Can't open file for verify!\n",
         1},
    });
}

TEST_F(CommandLine, HelpEndsTheRunWithoutTouchingThePort) {
    RunTable({
        {"/?", {"/?"}, {}, kHelp, 0},
        {"/i then /?", {"/i", "/?", "/w"}, {}, kHelp, 0},
        {"file echoed before /?", {"game.ngp", "-?", "/x"}, {}, Filename("game.ngp") + kHelp, 0},
    });
    // The simulator would have created its cartridge file on the first port access.
    EXPECT_FALSE(Exists("cart.bin"));
}

TEST_F(CommandLine, LongHelpAndVersionEndTheRunWithoutTouchingThePort) {
    RunTable({
        {"--help", {"--help"}, {}, kHelp, 0},
        {"--help after a file and a switch",
         {"game.ngp", "/i", "--help", "/w"},
         {},
         Filename("game.ngp") + kHelp,
         0},
        {"--version is the banner alone", {"--version"}, {}, "", 0},
        {"--version before /?", {"--version", "/?"}, {}, "", 0},
    });
    EXPECT_FALSE(Exists("cart.bin"));
}

TEST_F(CommandLine, DoubleDashEndsTheSwitches) {
    RunTable({
        {"switch-like names after --",
         {"--", "/?", "-w", "--help", "--"},
         {},
         Filename("/?") + Filename("-w") + Filename("--help") + Filename("--"),
         0},
        // Only the three whole words are new; these name the switch '-' as they always did.
        {"other double-dash words warn as before",
         {"--verbose", "--HELP", "--version2", "-"},
         {},
         "Warning: Invalid option '-'!\nWarning: Invalid option '-'!\n"
         "Warning: Invalid option '-'!\n" +
             std::string("Warning: Invalid option '\0'!\n", 29),
         0},
    });
}

TEST_F(CommandLine, AnAbsolutePathAfterDoubleDash) {
    MakeCart(0x400000, SampleImage(0x8000));
    const std::string backup = Path("backup.ngp");
    Result r = Run({"/b", "--", backup});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(r.out.starts_with(kBanner + Filename(backup))) << r.out;
    EXPECT_EQ(ReadFile("backup.ngp"), Cart());
}

TEST_F(CommandLine, TheLastOfTwoFileNamesIsUsed) {
    WriteFile("b.ngp", {});
    Result r = Run({"a.ngp", "/v", "b.ngp"});
    EXPECT_EQ(r.out,
              kBanner + Filename("a.ngp") + Filename("b.ngp") + "\rVerifying... 0x000000 (0%)\n");
    EXPECT_EQ(r.exit_code, 0);
}

TEST_F(CommandLine, LinkerCartridgeAndSimulatorFailures) {
    Env nolinker;
    nolinker.linksim_opts = "nolinker";
    Env nocart;
    nocart.linksim_opts = "nocart";
    Env bad_option;
    bad_option.linksim_opts = "bogus";
    const std::string bogus = RefusedOptions("bogus");
    RunTable({
        {"no linker", {"/i"}, nolinker, NotFound("378"), 1},
        {"no cartridge", {"/i"}, nocart, "No cartridge detected!\n", 1},
        // The console tool speaks EPP only.
        {"standard port only", {}, Env{"spp", {}, true}, NotFound("378"), 1},
        {"simulator options refused", {"/i"}, bad_option, bogus, 1},
    });
}

TEST_F(CommandLine, CartridgeFileOfTheWrongLengthIsRefusedUntouched) {
    WriteFile("cart.bin", Bytes(1000, 0x12));
    Result r = Run({"/i"});
    // The simulator's reason, on its own line in place of the driver message.
    EXPECT_TRUE(r.out.starts_with(kBanner + "LINKSIM: 'cart.bin' is 1000 bytes")) << r.out;
    EXPECT_TRUE(r.out.ends_with("\n"));
    EXPECT_EQ(r.out.find("GiveIO"), std::string::npos);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(ReadFile("cart.bin"), Bytes(1000, 0x12));
}

TEST_F(CommandLine, PauseOnlyAfterAFailure) {
    Env nolinker;
    nolinker.linksim_opts = "nolinker";
    Env bad_option;
    bad_option.linksim_opts = "bogus";
    Env pulled_out;  // after the start-up checks, before /i's header is confirmed
    pulled_out.linksim_opts = "unplug-after=150";
    RunTable({
        {"success does not pause", {"/e"}, {}, "", 0},
        {"a linker that stops answering pauses",
         {"/e", "/i"},
         pulled_out,
         "\rFlash Linker stopped answering at 0x000034!\n" + kPause,
         1},
        {"missing linker pauses", {"-E"}, nolinker, NotFound("378") + kPause, 1},
        {"failed operation pauses once",
         {"/e", "/v", "/e", "none.ngp"},
         {},
         Filename("none.ngp") + "Can't open file for verify!\n" + kPause,
         1},
        {"refused simulator pauses", {"/e"}, bad_option, RefusedOptions("bogus") + kPause, 1},
        {"failure without /e does not pause", {}, nolinker, NotFound("378"), 1},
    });
}

}  // namespace
}  // namespace tidewick_e2e
