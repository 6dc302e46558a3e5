// The main of the Windows tests that need the program started: what the
// program's own main does before it runs the user interface, then the tests.
#include "app/callbacks.h"
#include "app/shell.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    start_engine(argc, argv);
    laden();
    setup();
    return RUN_ALL_TESTS();
}
