#include "files/viewer.h"

#include "alarm/alarm_chart.h"
#include "alarm/event_view.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "record/verify.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "run/scaling.h"

enum { kViewPoints = 999 };

// The Open file button is dimmed during a run, so that this popup never
// interrupts one.
static void say_not_opened(int status)
{
    long long size = 0;
    const char *why = "the system could not open it";
    if (status == kFileNotFound)
        why = "it is not there";
    else if (status == kFileAccessDenied)
        // Refused, and no file there: a folder.
        why = GetFileInfo(state.view_path, size) == 0 ? "it is a folder, not a file" : "no permission to read it";
    char message[kPathSize + 80];
    Fmt(message, "%s cannot be opened: %s.", state.view_path, why);
    PathMessagePopup("Open file", message);
}

int oeffnen(int, int, int event, void *, int, int)
{
    if (event == kEventCommit)
        darstellen();
    return 0;
}

void darstellen()
{
    double times[kViewPoints + 1];
    double values[kViewPoints + 1];

    if (FileSelectPopup("", "*.dat", "*.dat", "", kLabelLoad, 0, 1, 1, 0, state.view_path) !=
        kSelectionExisting)
        return;
    state.view_file = OpenFile(state.view_path, kOpenRead, kOpenKeep, kOpenText);
    if (state.view_file <= 0) {
        say_not_opened(state.view_file);
        return;
    }
    // Thinning keeps a large file to at most 999 points spread over all of it;
    // a file whose size cannot be read is taken whole, up to those points.
    long long size = 0;
    GetFileInfo(state.view_path, size);
    const long long step = 1 + size / 20000;
    SetCtrlVal(state.main_panel, kMainFile, state.view_path);
    SetCtrlVal(state.main_panel, kMainAutoscale, 1);
    state.log_allowed = 1;

    SetWaitCursor(1);
    int points = 0;
    for (int i = 0; i < kViewPoints; i++) {
        values[i] = 1.0;
        // The reads before the last pass over the lines that thinning leaves out.
        ScanFileSkip(state.view_file, step - 1, "%f %f", times[i], values[i]);
        const int read = ScanFile(state.view_file, "%f %f", times[i], values[i]);
        if (values[i] <= 0)
            state.log_allowed = 0;
        if (read != 2)
            break;
        points = i + 1;
    }
    CloseFile(state.view_file);
    // Beside its name, what vandrel --verify says of it.
    const Verdict verdict = verify_recording(state.view_path);
    char shown[kPathSize + 400];
    Fmt(shown, "%s  [%s]", state.view_path, verdict.text.c_str());
    SetCtrlVal(state.main_panel, kMainFile, shown);
    SetWaitCursor(0);

    SetCtrlAttribute(state.main_panel, kMainGraph, kAttrTimeLabelDigits, 1);
    SetCtrlAttribute(state.main_panel, kMainGraph, kAttrTimeLabelForm, kTimeSeconds);
    SetCtrlAttribute(state.main_panel, kMainGraph, kAttrGrid, 1);
    DeleteGraphPlot(state.main_panel, kMainGraph, kAllPlots, 1);
    chart_clear();
    SetAxisScalingMode(state.main_panel, kMainGraph, kAxisTime, kScaleAuto, state.x_min, state.x_max);
    log_auto();
    SetCtrlAttribute(state.main_panel, kMainGraph, kAttrRefreshAtOnce, 1);
    PlotXY(state.main_panel, kMainGraph, times, values, points, kTypeDouble, kTypeDouble, kPlotThinLine,
           kPointNone, kLineSolid, 1, kColourNavy);
    show_recording_events(state.view_path, times, values, points);
}
