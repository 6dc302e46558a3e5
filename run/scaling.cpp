#include "run/scaling.h"

#include "alarm/audit.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/userint.h"

// What a commit changed, as it stands once log_auto has had its say.
static void audit_scaling(const Settings &was)
{
    audit_number("interval", was.interval, settings.interval);
    audit_number("y_min", was.y_min, settings.y_min);
    audit_number("y_max", was.y_max, settings.y_max);
    audit_switch("autoscale", was.autoscale, settings.autoscale);
    audit_switch("log_scale", was.log_scale, settings.log_scale);
}

int skalieren(int, int, int event, void *, int, int)
{
    if (event == kEventCommit) {
        const Settings was = settings;
        GetCtrlVal(state.main_panel, kMainInterval, settings.interval);
        SetCtrlAttribute(state.main_panel, kMainTimer, kAttrInterval, settings.interval);
        GetCtrlVal(state.main_panel, kMainYMin, settings.y_min);
        GetCtrlVal(state.main_panel, kMainYMax, settings.y_max);
        GetCtrlVal(state.main_panel, kMainAutoscale, settings.autoscale);
        GetCtrlVal(state.main_panel, kMainLogScale, settings.log_scale);
        log_auto();
        audit_scaling(was);
    }
    return 0;
}

static void linear_only()
{
    settings.log_scale = 0;
    SetCtrlVal(state.main_panel, kMainLogScale, 0);
}

void log_auto()
{
    if (settings.autoscale != 0) {
        SetAxisScalingMode(state.main_panel, kMainGraph, kAxisY, kScaleAuto, settings.y_min, settings.y_max);
        if (state.log_allowed == 0)
            linear_only();
    } else {
        SetAxisScalingMode(state.main_panel, kMainGraph, kAxisY, kScaleManual, settings.y_min, settings.y_max);
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
        SetCtrlAttribute(state.main_panel, kMainGraph, kAttrYMapping, kMappingLog);
        SetCtrlAttribute(state.main_panel, kMainGraph, kAttrYLabelFormat, kScientificLabels);
    } else {
        SetCtrlAttribute(state.main_panel, kMainGraph, kAttrYMapping, kMappingLinear);
        SetCtrlAttribute(state.main_panel, kMainGraph, kAttrYLabelFormat, kPlainLabels);
    }
}
