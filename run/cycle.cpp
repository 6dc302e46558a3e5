#include "run/cycle.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "alarm/alarm_chart.h"
#include "alarm/alarm_check.h"
#include "alarm/audit.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "files/log_file.h"
#include "link/exchange.h"
#include "publish/publish.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/alarm_events.h"
#include "run/resume_mark.h"
#include "run/run_record.h"

// Seconds as whole numbers, truncated toward zero; values beyond the range
// of an int (an absurd interval from a hand-edited settings file) stop at
// its ends instead of wrapping.
static int whole(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    if (seconds >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (seconds <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(seconds);
}

void plotten()
{
    SetCtrlVal(state.main_panel, kMainBusy, 1);
    state.t_elapsed = Timer() - state.t_start;
    audit_wall_clock();
    abfragen();
    if (state.reading <= 0.0)
        state.log_allowed = 0;
    SetCtrlVal(state.main_panel, kMainReading, state.reading_text);

    int n = state.n_points;
    if (n < kHistory) {
        state.hist_value[n] = state.reading;
        state.hist_time[n] = whole(state.t_elapsed);
    } else {
        // Shift before storing, so that the reading that was newest before
        // this cycle is drawn now instead of being pushed out unseen.
        state.n_points = kHistory - 1;
        std::memmove(state.hist_value, state.hist_value + 1,
                     (kHistory - 1) * sizeof state.hist_value[0]);
        std::memmove(state.hist_time, state.hist_time + 1,
                     (kHistory - 1) * sizeof state.hist_time[0]);
        state.hist_value[kHistory - 1] = state.reading;
        state.hist_time[kHistory - 1] = whole(state.t_elapsed);
    }

    if (n >= 2) {
        if (state.t_elapsed > state.x_max) {
            state.x_max = whole(state.x_max + 10 * settings.interval);
            state.x_min = whole(state.x_max - 899 * settings.interval + 1);
            if (state.x_min < state.hist_time[0])
                state.x_min = state.hist_time[0];
            SetAxisScalingMode(state.main_panel, kMainGraph, kAxisTime, kScaleManual, state.x_min,
                               state.x_max);
            DeleteGraphPlot(state.main_panel, kMainGraph, kAllPlots, 1);
        }
        SetCtrlAttribute(state.main_panel, kMainGraph, kAttrRefreshAtOnce, 1);
        PlotXY(state.main_panel, kMainGraph, state.hist_time, state.hist_value, state.n_points, kTypeInt,
               kTypeDouble, kPlotThinLine, kPointNone, kLineSolid, 1, kColourBlue);
    }
    state.n_points = state.n_points + 1;

    if (state.recording != 0) {
        aufzeichnen();
        seal_minute();
    }
    // The reading reaches the broker before the alarm it raises.
    publish_reading();
    const int answered = exchange_result() == kExchangeReading;
    hand_on_event(alarm_check(answered, state.reading, state.t_elapsed));
    chart_alarm_time(alarm_state.kind != kAlarmNone);
    resume_alive();
    Delay(0.05);
    SetCtrlVal(state.main_panel, kMainBusy, 0);
}

int timer2(int, int, int event, void *, int, int)
{
    if (event == kEventTick && state.running != 0)
        plotten();
    return 0;
}
