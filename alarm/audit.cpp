#include "alarm/audit.h"

#include <cmath>
#include <cstring>

#include "alarm/event_file.h"
#include "alarm/event_read.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/utility.h"

static void audit(const char *what, const char *was, const char *now)
{
    if (state.running == 0 || std::strcmp(was, now) == 0)
        return;
    // As the reader has room for it, so that the line reads back whole.
    char user[kChangeTextSize];
    if (GetUserAccount(user) != 0)
        Fmt(user, "unknown");
    write_change(user, what, was, now, Timer() - state.t_start);
}

void audit_number(const char *what, double was, double now)
{
    // Compared as written: two texts differ exactly when the numbers do,
    // and a value that stays "nan" is no change.
    char before[32], after[32];
    Fmt(before, "%f[r]", was);
    Fmt(after, "%f[r]", now);
    audit(what, before, after);
}

void audit_switch(const char *what, int was, int now)
{
    audit(what, was != 0 ? "on" : "off", now != 0 ? "on" : "off");
}

void audit_wall_clock()
{
    // Cycle to cycle rather than from the run's start: a clock that a time
    // server steers slowly drifts by seconds over a long run, and only a
    // clock set at once is a jump.
    static double last_run = 0, last_wall = 0;
    const double run = Timer(), wall = GetUnixTime();
    const double moved = (wall - last_wall) - (run - last_run);
    last_run = run;
    last_wall = wall;
    // What the clocks did before the run is no run's.
    if (state.n_points != 0 && std::fabs(moved) > kClockJump)
        write_event("clock_jump", moved, kClockJump, run - state.t_start);
}
