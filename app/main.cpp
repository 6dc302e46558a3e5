// The oxygen analyser program: queries the analyser once per interval,
// shows, draws and records the readings, and draws stored recordings.
#include "app/callbacks.h"
#include "app/shell.h"
#include "app/state.h"
#include "rte/userint.h"

int main(int argc, char *argv[])
{
    start_engine(argc, argv);
    state.main_panel = LoadPanel(0, "Vandrel_V3.uir", 3);
    state.com_panel = LoadPanel(0, "Vandrel_V3.uir", 1);
    state.info_panel = LoadPanel(0, "Vandrel_V3.uir", 2);
    state.menu_bar = GetPanelMenuBar(state.main_panel);
    setup();
    RunUserInterface();
    return 0;
}
