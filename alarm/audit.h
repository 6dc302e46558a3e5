// The run's audit trail: each change the operator makes to a setting while
// a run goes on, and the wall clock set while it runs, as lines of the
// run's event file (event_file.h).
#pragma once

// A setting's change, called by the callback that applies it with the
// value in force before and after: a "changed" line with the user account,
// only while a run goes on and only when the value changed.  `what` names
// the setting ("interval", "oxygen.high", ...).  A number is written as
// the shortest text that reads back as itself.
void audit_number(const char *what, double was, double now);
// A switch, "on" or "off".
void audit_switch(const char *what, int was, int now);

// From one cycle to the next the wall clock may differ from the run's own
// clock by this much (seconds) before it counts as set.
constexpr double kClockJump = 2.0;

// At the start of each cycle: the wall clock's move since the cycle before
// against the run's own clock's.  A difference of more than kClockJump is
// a "clock_jump" line, its value the seconds by which the wall clock moved
// ahead (negative: back), its limit kClockJump.  The run's first cycle
// only takes the clocks' measure.
void audit_wall_clock();
