#include "run/run_control.h"

#include "alarm/alarm_chart.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "files/log_file.h"
#include "link/serial_port.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/alarm_events.h"
#include "run/cycle.h"
#include "run/resume_mark.h"
#include "run/run_record.h"
#include "run/scaling.h"

int m_run(int, int, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    if (state.port_open == 0)
        ComOpen();
    if (state.running == 1 || state.port_open == 0)
        return 0;
    faerben(1);
    speichern_starten();
    resume_run_started(state.recording != 0 ? state.log_path : "");
    begin_run("", 0.0);
    return 0;
}

void begin_run(const char *resumed_from, double resume_gap)
{
    SetCtrlAttribute(state.main_panel, kMainGraph, kAttrTimeLabelDigits, 0);
    SetCtrlAttribute(state.main_panel, kMainGraph, kAttrTimeLabelForm, kTimeSeconds);
    SetCtrlAttribute(state.main_panel, kMainGraph, kAttrGrid, 1);
    DeleteGraphPlot(state.main_panel, kMainGraph, kAllPlots, 1);
    chart_clear();
    state.x_max = 100;
    state.x_min = 0;
    state.n_points = 0;
    SetAxisScalingMode(state.main_panel, kMainGraph, kAxisTime, kScaleManual, 0.0, 100.0);
    SetCtrlAttribute(state.main_panel, kMainTimer, kAttrInterval, settings.interval);
    state.log_allowed = 1;
    log_auto();
    run_record_start(resumed_from, resume_gap);
    state.t_start = Timer();
    // The first reading is taken here, before the run is marked active, so
    // that no tick can take one while the start is still in progress.
    plotten();
    state.running = 1;
}

int m_stop(int, int, int event, void *, int, int)
{
    if (event == kEventCommit)
        end_run();
    return 0;
}

void end_run()
{
    state.running = 0;
    faerben(0);
    close_recording();
    resume_run_ended();
}

void faerben(int running)
{
    // A run starts and ends without an alarm in force.
    alarm_quiet();
    SetCtrlAttribute(state.main_panel, kMainOpenFile, kAttrDimmed, running != 0 ? 1 : 0);
    SetCtrlAttribute(state.main_panel, kMainReading, kAttrDimmed, running != 0 ? 0 : 1);
    SetCtrlAttribute(state.main_panel, kMainQuantity, kAttrDimmed, running != 0 ? 1 : 0);
    SetMenuBarAttribute(state.menu_bar, kMainRestoreItem, kAttrDimmed, running != 0 ? 1 : 0);
    SetCtrlAttribute(state.main_panel, kMainStart, kAttrColour, running != 0 ? kColourGrey : kColourGreen);
    SetCtrlAttribute(state.main_panel, kMainStop, kAttrColour, running != 0 ? kColourDarkRed : kColourGrey);
}
