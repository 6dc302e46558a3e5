// The reliability tests share one engine with the program's panels loaded:
// the viewer draws what killed recorders left, and the run with an
// unplugged analyser is driven here.  The process ends as the program does,
// through the engine, which releases the toolkit first.
#include <gtest/gtest.h>

#include "rte/userint.h"
#include "testing/program_driver.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    reliability::loadProgram(argc, argv);
    ExitProgram(RUN_ALL_TESTS());
    return RunUserInterface();
}
