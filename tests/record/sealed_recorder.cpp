// The program recording a sealed run in a process of its own, for the test
// that kills it:
//
//   sealed_recorder LINK FILE CYCLES
//
// Held clock, CYCLES ticks one second apart (the seal's entries fall each
// minute of that clock), then "ready" on standard output, and the process
// waits to be ended.  LINK is the simulated analyser's device; FILE must
// not exist yet.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "testing/program_driver.h"

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LINK FILE CYCLES\n", argv[0]);
        return 2;
    }
    int engineArgc = 1;
    reliability::loadProgram(engineArgc, argv);
    if (!reliability::connectAnalyser(argv[1], 1.0) || !reliability::startRecordedRunOnHeldClock(argv[2]))
        return 2;
    const int cycles = std::atoi(argv[3]);
    for (int k = 1; k < cycles; ++k)
        reliability::tickAt(k);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
