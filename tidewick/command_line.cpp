#include "tidewick/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tidewick/console.h"
#include "tidewick/settings.h"

namespace tidewick {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char FoldLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void ArmPauseOnError() {
    static bool armed = false;
    if (armed) return;
    armed = true;
    std::atexit(PauseOnError);
}

}  // namespace

void PrintBanner() {
    std::fputs("Tidewick v1.01\n\n", stdout);
}

void PrintHelp() {
    std::fputs(
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
        "\n",
        stdout);
}

std::uint32_t ParsePortNumber(const char* text) {
    const char* p = text;
    while (IsCSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    bool any = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        any = true;
        if (!overflow) {
            value = value * 10 + static_cast<std::uint64_t>(*p - '0');
            overflow = value > 0xFFFFFFFFu;
        }
    }
    if (!any) return 0;
    if (overflow) return 0xFFFFFFFFu;
    std::uint32_t v = static_cast<std::uint32_t>(value);
    return negative ? 0u - v : v;
}

bool ReadArguments(int argc, char** argv) {
    bool switches_ended = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (switches_ended || (arg[0] != '/' && arg[0] != '-')) {
            FileArgument = arg;
            std::printf("Filename: \"%s\".\n", arg);
            continue;
        }
        // Three whole words a Unix user tries; any other argument keeps its DOS meaning, so
        // "--x" still names the switch '-'.
        if (std::strcmp(arg, "--") == 0) {
            // Without it, an absolute path could never be given: "/" starts a switch.
            switches_ended = true;
            continue;
        }
        if (std::strcmp(arg, "--help") == 0) {
            PrintHelp();
            return false;
        }
        if (std::strcmp(arg, "--version") == 0) return false;  // the banner is already out
        switch (FoldLower(arg[1])) {
            case '?':
                PrintHelp();
                return false;
            case 'p':
                LinkerPort = ParsePortNumber(arg + 2);
                break;
            case 'w':
                WriteSwitch = true;
                break;
            case 'v':
                VerifySwitch = true;
                break;
            case 'i':
                InfoSwitch = true;
                break;
            case 'b':
                BackupSwitch = true;
                break;
            case 'y':
                YesToAll = true;
                break;
            case 'e':
                ArmPauseOnError();
                break;
            default:
                // A lone "/" names its terminating NUL, as typed.
                std::printf("Warning: Invalid option '%c'!\n", arg[1]);
                break;
        }
    }
    return true;
}

void ApplyPortEnvironment() {
    if (const char* port = std::getenv("TWKPORT")) LinkerPort = ParsePortNumber(port);
}

}  // namespace tidewick
