// The program's start and its end with nothing in between, for the tests of
// where the settings are kept: a copy of it is started in the folder under
// test.  Prints what the info panel names, the settings it started with and
// the popups shown, then ends as the program does and prints the popups its
// end shows ("popup at the end ...").
#include <cstdio>
#include <cstdlib>

#include "app/callbacks.h"
#include "app/shell.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    start_engine(argc, argv);
    // More acknowledgements than the program may ask for: a popup it shows
    // is logged, never left waiting.
    rte::testing::queueMessageAck();
    rte::testing::queueMessageAck();
    laden();
    setup();
    rte::testing::operate(state.main_panel, kMainAbout);
    char shown[512];
    GetCtrlVal(state.info_panel, kInfoSettingsFile, shown);
    std::printf("%s\nport %d\n", shown, settings.com_port);
    for (const std::string &popup : rte::testing::popupLog())
        std::printf("popup %s\n", popup.c_str());
    std::fflush(stdout);
    rte::testing::clearPopups();
    rte::testing::queueMessageAck();
    enden();
    for (const std::string &popup : rte::testing::popupLog())
        std::printf("popup at the end %s\n", popup.c_str());
    std::fflush(stdout);
    return RunUserInterface();
}
