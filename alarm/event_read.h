// Reading an event file back (the lines write_event writes): a pure
// function of one line, so that recorded and broken bytes can be fed to it.
#pragma once

struct EventLine {
    double elapsed;  // seconds since the start of the run
    char event[16];  // "alarm_high", ... as written
    double value;    // nan when there was no reading
    double limit;
};

enum EventLineRead { kEventLineDamaged = -1, kEventLineBlank = 0, kEventLineRead = 1 };

// One line without its line end.  A line is read when it holds the five
// fields (a local time as ISO 8601, elapsed seconds not below 0, an event
// word, the value, a finite limit) and nothing after them; an event word
// this program does not draw, written by a later one, still reads.
int read_event_line(const char *line, EventLine &e);
