#include "tidewick/main_sequence.h"

int main(int argc, char** argv) {
    return tidewick::RunTidewick(argc, argv);
}
