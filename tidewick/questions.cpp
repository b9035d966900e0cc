#include <cstdio>

#include "tidewick/console.h"
#include "tidewick/interruption.h"
#include "tidewick/settings.h"

namespace tidewick {

bool Ask(const char* question) {
    std::fputs(question, stdout);
    std::fflush(stdout);
    int key = ReadKey();
    // Fold A to Z only, whatever the locale.
    if (key >= 'A' && key <= 'Z') key += 'a' - 'A';
    return key == 'y';
}

void PauseOnError() {
    // Whoever stopped the run does not want to be kept waiting.
    if (!ErrorOccurred || Interrupted()) return;
    std::fputs("Press any key to continue...\n", stdout);
    std::fflush(stdout);
    ReadKey();
}

}  // namespace tidewick
