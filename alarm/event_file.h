// The event file: one line for every alarm, acknowledgement, return to
// normal and lost analyser, written as durably as a recording line.  It lies
// beside the recording file ("run.dat" -> "run.events"); a run without one
// writes to a file per day in the settings folder
// ("vandrel-events-2026-12-10.events").  Each line holds, tab-separated:
// local time (ISO 8601 with its offset), elapsed seconds, event, value,
// limit.  A change of the operator's during a run ("changed") adds four
// more: who, what, the old and the new value.
#pragma once

#include "app/state.h"

// event: "alarm_high", "alarm_low", "no_answer", "acknowledged", "normal",
// "stopped", "resumed", "clock_jump"; elapsed: seconds since the start of
// the run.  0 when the line is stored.
int write_event(const char *event, double value, double limit, double elapsed);

// A "changed" line, its value and limit "nan": the user account, the
// setting's name and its old and new value follow as texts, each with a
// backslash, tab, CR and LF written as \\, \t, \r and \n, so that no text
// breaks the line or its fields.  0 when the line is stored.
int write_change(const char *user, const char *what, const char *was, const char *now, double elapsed);

// The event file of a recording: its name with ".events" in place of its
// extension.  Negative when that does not fit.
int events_beside(const char *recording, char (&path)[kPathSize]);

// The file the run's events go to now; negative when no name fits.
int event_path(char (&path)[kPathSize]);
