#include "run/run_control.h"

#include "app/state.h"
#include "files/log_file.h"
#include "link/serial_port.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/cycle.h"
#include "run/scaling.h"

int m_run(int, int, int event, void *, int, int)
{
    if (event != 1)
        return 0;
    if (state.port_open == 0)
        ComOpen();
    if (state.running == 1 || state.port_open == 0)
        return 0;
    faerben(1);
    speichern_starten();
    SetCtrlAttribute(state.main_panel, 5, 1143, 0);
    SetCtrlAttribute(state.main_panel, 5, 1142, 0);
    SetCtrlAttribute(state.main_panel, 5, 1146, 1);
    DeleteGraphPlot(state.main_panel, 5, -1, 1);
    state.x_max = 100;
    state.x_min = 0;
    state.n_points = 0;
    SetAxisScalingMode(state.main_panel, 5, 0, 0, 0.0, 100.0);
    SetCtrlAttribute(state.main_panel, 18, 1270, settings.interval);
    state.log_allowed = 1;
    log_auto();
    state.t_start = Timer();
    // The first reading is taken here, before the run is marked active, so
    // that no tick can take one while the start is still in progress.
    plotten();
    state.running = 1;
    return 0;
}

int m_stop(int, int, int event, void *, int, int)
{
    if (event == 1) {
        state.running = 0;
        if (state.recording == 1)
            CloseFile(state.log_file);
        state.recording = 0;
        faerben(0);
    }
    return 0;
}

void faerben(int running)
{
    SetCtrlAttribute(state.main_panel, 11, 500, running != 0 ? 1 : 0);
    SetCtrlAttribute(state.main_panel, 12, 500, running != 0 ? 0 : 1);
    SetCtrlAttribute(state.main_panel, 19, 500, running != 0 ? 1 : 0);
    SetMenuBarAttribute(state.menu_bar, 2, 500, running != 0 ? 1 : 0);
    SetCtrlAttribute(state.main_panel, 10, 880, running != 0 ? 0xA0A0A0 : 0x008000);
    SetCtrlAttribute(state.main_panel, 9, 880, running != 0 ? 0x800000 : 0xA0A0A0);
}
