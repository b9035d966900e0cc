// The run settings of one invocation: set while the arguments and the environment are read,
// read by the link and the operations afterwards.
#pragma once

#include <cstdint>

namespace tidewick {

// The parallel port's I/O base. Only its low 16 bits reach the port.
extern std::uint32_t LinkerPort;
// The last command-line argument that is not a switch; nullptr until one is seen.
extern const char* FileArgument;

extern bool WriteSwitch;
extern bool InfoSwitch;
extern bool BackupSwitch;
extern bool VerifySwitch;
extern bool YesToAll;

// Set by every failure path before it reports failure; read by the pause at exit.
extern bool ErrorOccurred;

// The end of a failure path: sets ErrorOccurred and returns 1.
inline int Failed() {
    ErrorOccurred = true;
    return 1;
}

inline std::uint16_t LinkerBase() {
    return static_cast<std::uint16_t>(LinkerPort);
}

}  // namespace tidewick
