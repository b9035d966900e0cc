#include "tidewick/interruption.h"
#include "tidewick/main_sequence.h"
#include "tidewick/standard_streams.h"

int main(int argc, char** argv) {
    if (!tidewick::ReopenClosedStandardStreams()) return 1;
    tidewick::ArmInterruption();
    return tidewick::RunTidewick(argc, argv);
}
