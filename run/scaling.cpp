#include "run/scaling.h"

#include "app/state.h"
#include "rte/userint.h"

int skalieren(int, int, int event, void *, int, int)
{
    if (event == 1) {
        GetCtrlVal(state.main_panel, 3, settings.interval);
        SetCtrlAttribute(state.main_panel, 18, 1270, settings.interval);
        GetCtrlVal(state.main_panel, 2, settings.y_min);
        GetCtrlVal(state.main_panel, 4, settings.y_max);
        GetCtrlVal(state.main_panel, 7, settings.autoscale);
        GetCtrlVal(state.main_panel, 6, settings.log_scale);
        log_auto();
    }
    return 0;
}

static void linear_only()
{
    settings.log_scale = 0;
    SetCtrlVal(state.main_panel, 6, 0);
}

void log_auto()
{
    if (settings.autoscale != 0) {
        SetAxisScalingMode(state.main_panel, 5, 1, 1, settings.y_min, settings.y_max);
        if (state.log_allowed == 0)
            linear_only();
    } else {
        SetAxisScalingMode(state.main_panel, 5, 1, 0, settings.y_min, settings.y_max);
        // A fixed range from exactly 0 would forbid a logarithmic axis for
        // good; the setting moves to 0.1 while the entry keeps showing 0.
        if (settings.y_min == 0)
            settings.y_min = 0.1;
        if (settings.y_min <= 0 || settings.y_max <= 0) {
            state.log_allowed = 0;
            linear_only();
        } else if (state.log_allowed == 0) {
            linear_only();
        }
    }
    if (settings.log_scale != 0) {
        SetCtrlAttribute(state.main_panel, 5, 1096, 1);
        SetCtrlAttribute(state.main_panel, 5, 1097, 0xFFF1);
    } else {
        SetCtrlAttribute(state.main_panel, 5, 1096, 0);
        SetCtrlAttribute(state.main_panel, 5, 1097, 0xFFF0);
    }
}
