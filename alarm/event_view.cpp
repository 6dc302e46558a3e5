#include "alarm/event_view.h"

#include <cmath>
#include <cstring>

#include "alarm/event_read.h"
#include "alarm/number_text.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"

// The curve's value at time t: between the points around it, or at the
// nearer end outside them.
static double on_curve(const double *t, const double *y, int points, double at)
{
    if (at <= t[0])
        return y[0];
    for (int i = 1; i < points; ++i)
        if (t[i] >= at && t[i - 1] <= at) {
            const double span = t[i] - t[i - 1];
            return span > 0 ? y[i - 1] + (y[i] - y[i - 1]) * (at - t[i - 1]) / span : y[i];
        }
    return y[points - 1];
}

struct EventLook {
    const char *event;
    const char *says;
    int colour;
};

static const EventLook kLooks[] = {
    {"alarm_high", "HIGH alarm", kColourRed},
    {"alarm_low", "LOW alarm", kColourRed},
    {"no_answer", "NO ANSWER alarm", kColourRed},
    {"acknowledged", "Acknowledged", kColourOrange},
    {"normal", "Back to normal", kColourGreen},
    {"stopped", "Run stopped in alarm", kColourGrey},
    {"changed", "Changed", kColourNavy},
    {"clock_jump", "Clock set", kColourNavy},
};

static const EventLook *look_of(const char *event)
{
    for (const EventLook &l : kLooks)
        if (std::strcmp(l.event, event) == 0)
            return &l;
    return nullptr;
}

enum { kTooltipSize = 4 * kChangeTextSize + 64 };

// "HIGH alarm at 12.0 s: 168410 (limit 1000)"; "Changed interval from 1 to
// 5 by alice at 12.0 s"; "Clock set 3600 s ahead at 12.0 s".
static void tooltip(const EventLine &e, const EventLook &look, char (&text)[kTooltipSize])
{
    if (std::strcmp(e.event, "changed") == 0) {
        Fmt(text, "%s %s from %s to %s by %s at %f[p1] s", look.says, e.what, e.was, e.now, e.user, e.elapsed);
        return;
    }
    char value[32], limit[32];
    if (std::isnan(e.value))
        Fmt(value, "no reading");
    else
        number_text(e.value, value);
    number_text(e.limit, limit);
    if (std::strcmp(e.event, "clock_jump") == 0) {
        number_text(std::fabs(e.value), value);
        Fmt(text, "%s %s s %s at %f[p1] s", look.says, value, e.value < 0 ? "back" : "ahead", e.elapsed);
    } else if (std::strcmp(e.event, "no_answer") == 0)
        Fmt(text, "%s at %f[p1] s: %s (%s cycles)", look.says, e.elapsed, value, limit);
    else if (look.colour == kColourRed)
        Fmt(text, "%s at %f[p1] s: %s (limit %s)", look.says, e.elapsed, value, limit);
    else
        Fmt(text, "%s at %f[p1] s: %s", look.says, e.elapsed, value);
}

void show_recording_events(const char *recording, const double *t, const double *y, int points)
{
    if (points < 1)
        return;
    int drawn = 0;
    const EventFileWalk walk = walk_recording_events(recording, [&](const EventLine &e) {
        const EventLook *look = look_of(e.event);
        if (look) {
            char text[kTooltipSize];
            tooltip(e, *look, text);
            AddGraphMarker(state.main_panel, kMainGraph, e.elapsed, on_curve(t, y, points, e.elapsed), text,
                           look->colour);
            ++drawn;
        }
        return drawn < kMostEventsDrawn;
    });
    if (walk.file < 0) {
        AddGraphNote(state.main_panel, kMainGraph, "The event file beside this recording cannot be opened.");
        return;
    }
    const EventCount count = {walk.damaged, drawn, walk.unread};
    // On the graph, where whoever looks at the events sees it, and no
    // button to press.
    char note[kEventNoteSize];
    event_note(count, note);
    if (note[0] != '\0')
        AddGraphNote(state.main_panel, kMainGraph, note);
}
