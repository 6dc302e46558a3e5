#include "files/viewer.h"

#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "run/scaling.h"

enum { kViewPoints = 999 };

int oeffnen(int, int, int event, void *, int, int)
{
    if (event == 1)
        darstellen();
    return 0;
}

void darstellen()
{
    double times[kViewPoints + 1];
    double values[kViewPoints + 1];

    if (FileSelectPopup("", "*.dat", "*.dat", "", 3, 0, 1, 1, 0, state.view_path) != 1)
        return;
    state.view_file = OpenFile(state.view_path, 1, 2, 1);
    // Thinning keeps a large file to at most 999 points spread over all of it;
    // a file whose size cannot be read is taken whole, up to those points.
    long long size = 0;
    GetFileInfo(state.view_path, size);
    const long long step = 1 + size / 20000;
    SetCtrlVal(state.main_panel, 17, state.view_path);
    SetCtrlVal(state.main_panel, 7, 1);
    state.log_allowed = 1;

    SetWaitCursor(1);
    int points = 0;
    for (int i = 0; i < kViewPoints; i++) {
        values[i] = 1.0;
        int read = 0;
        for (long long k = 0; k < step; k++)
            read = ScanFile(state.view_file, "%f %f", times[i], values[i]);
        if (values[i] <= 0)
            state.log_allowed = 0;
        if (read != 2)
            break;
        points = i + 1;
    }
    SetWaitCursor(0);
    if (state.view_file > 0)
        CloseFile(state.view_file);

    SetCtrlAttribute(state.main_panel, 5, 1143, 1);
    SetCtrlAttribute(state.main_panel, 5, 1142, 0);
    SetCtrlAttribute(state.main_panel, 5, 1146, 1);
    DeleteGraphPlot(state.main_panel, 5, -1, 1);
    SetAxisScalingMode(state.main_panel, 5, 0, 1, state.x_min, state.x_max);
    log_auto();
    SetCtrlAttribute(state.main_panel, 5, 1149, 1);
    PlotXY(state.main_panel, 5, times, values, points, 4, 4, 5, 0, 0, 1, 0x000080);
}
