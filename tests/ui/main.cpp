// The tests run inside the engine as the program does: the engine is started
// with a callback table under the program's names, the real panel file is
// loaded, and the process ends through ExitProgram and RunUserInterface.
#include "rte/userint.h"
#include "test_ui.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ui_test::start(argc, argv);
    ExitProgram(RUN_ALL_TESTS());
    return RunUserInterface();
}
