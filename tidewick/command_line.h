// The command line and TWKPORT: switches, the file name, the banner and the help text.
#pragma once

#include <cstdint>

namespace tidewick {

void PrintBanner();
void PrintHelp();

// The C library's strtoul in base 10, held to 32 bits whatever the width of long: leading
// white space, an optional sign (minus negates modulo 2^32), digits up to the first other
// character; no digits give 0 and a magnitude past 32 bits gives 4294967295.
std::uint32_t ParsePortNumber(const char* text);

// Reads the arguments left to right into the run settings, echoing file names and warning of
// unknown switches; after "--" every argument is a file name. Returns false when the program
// ends here with exit code 0: at /? or --help, once the help has been printed, and at
// --version, whose banner has been printed before the arguments are read.
bool ReadArguments(int argc, char** argv);

// TWKPORT, when it exists, overrides /p.
void ApplyPortEnvironment();

}  // namespace tidewick
