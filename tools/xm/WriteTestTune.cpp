// Writes the test tune to the file named on the command line (for end-to-end runs).
#include <cstdio>

#include "TestTune.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.xm\n", argv[0]);
        return 2;
    }
    try {
        saveXm(makeTestTune(), argv[1]);
    } catch (const XmError& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
