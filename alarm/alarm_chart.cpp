#include "alarm/alarm_chart.h"

#include "alarm/alarm_settings.h"
#include "alarm/number_text.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"

// The marks of the limit lines: high, low; 0 for none.
static int limit_marks[2];

// Each alarm takes at least one reading and ends with another before the
// next begins, so the history holds at most this many.
enum { kSpans = kHistory / 2 + 1 };
struct AlarmSpan {
    int mark;
    int from, to;  // times of the readings, as the curve has them
};
static AlarmSpan spans[kSpans];
static int span_count;
static int span_open;  // the last span is the alarm in force

void chart_limits()
{
    for (int &mark : limit_marks) {
        if (mark > 0)
            DeleteGraphMark(state.main_panel, kMainGraph, mark);
        mark = 0;
    }
    if (settings.mode < 1 || settings.mode > 3)
        return;
    static const char *const kUnits[3] = {"ppm", "mV", "\260C"};
    const char *unit = kUnits[settings.mode - 1];
    const Limits &l = alarm_settings.limits[settings.mode - 1];
    char number[32], label[64];
    if (l.high_on) {
        number_text(l.high, number);
        Fmt(label, "HIGH %s %s", number, unit);
        limit_marks[0] = AddGraphLevel(state.main_panel, kMainGraph, l.high, label, kColourRed);
    }
    if (l.low_on) {
        number_text(l.low, number);
        Fmt(label, "LOW %s %s", number, unit);
        limit_marks[1] = AddGraphLevel(state.main_panel, kMainGraph, l.low, label, kColourRed);
    }
}

static void drop_oldest()
{
    DeleteGraphMark(state.main_panel, kMainGraph, spans[0].mark);
    for (int i = 1; i < span_count; ++i)
        spans[i - 1] = spans[i];
    --span_count;
}

void chart_alarm_time(int in_force)
{
    if (state.n_points < 1)
        return;
    const int newest = state.hist_time[state.n_points - 1];
    if (in_force && !span_open) {
        if (span_count == kSpans)
            drop_oldest();
        const int mark = AddGraphSpan(state.main_panel, kMainGraph, newest, newest, kColourRed);
        spans[span_count++] = {mark, newest, newest};
        span_open = 1;
    } else if (span_open) {
        // Up to the reading that ended it, when it has ended.
        AlarmSpan &s = spans[span_count - 1];
        s.to = newest;
        SetGraphSpan(state.main_panel, kMainGraph, s.mark, s.from, s.to);
        span_open = in_force;
    }
    while (span_count > 0 && spans[0].to < state.hist_time[0])
        drop_oldest();
}

void chart_clear()
{
    DeleteGraphMark(state.main_panel, kMainGraph, kAllMarks);
    span_count = 0;
    span_open = 0;
    limit_marks[0] = limit_marks[1] = 0;
    chart_limits();
}
