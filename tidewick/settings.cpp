#include "tidewick/settings.h"

namespace tidewick {

std::uint32_t LinkerPort = 0x378;
const char* FileArgument = nullptr;

bool WriteSwitch = false;
bool InfoSwitch = false;
bool BackupSwitch = false;
bool VerifySwitch = false;
bool YesToAll = false;

bool ErrorOccurred = false;

}  // namespace tidewick
