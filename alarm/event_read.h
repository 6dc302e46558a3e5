// Reading an event file back (the lines write_event writes): pure functions
// of one line and of what the reading found, so that recorded and broken
// bytes can be fed to them, and the walk over the event file beside a
// recording that the viewer and the summary share.
#pragma once

#include <functional>

// A stored recording draws at most kMostEventsDrawn events, as many as its
// curve has points, read from its event file's first kMostEventLinesRead
// lines at most: the lines after those are counted, not read, so that no
// event file holds the window longer than its recording does.
enum { kMostEventsDrawn = 999, kMostEventLinesRead = 9999, kEventNoteSize = 200 };

// The room for each text of a "changed" line, read back as written (its
// escapes undone); the longest user account a system names fits.
enum { kChangeTextSize = 260 };
// Room for the longest line this program writes: five fields and a
// change's four texts, each escape in them two bytes.
enum { kEventLineSize = 128 + 4 * 2 * kChangeTextSize };

struct EventLine {
    double elapsed;  // seconds since the start of the run
    char event[16];  // "alarm_high", ... as written
    double value;    // nan when there was no reading
    double limit;    // nan for "resumed" and "changed", which have none
    // Only "changed": who changed what setting from what to what; empty for
    // every other event.
    char user[kChangeTextSize] = "";
    char what[kChangeTextSize] = "";
    char was[kChangeTextSize] = "";
    char now[kChangeTextSize] = "";
};

enum EventLineRead { kEventLineDamaged = -1, kEventLineBlank = 0, kEventLineRead = 1 };

// One line without its line end, and its length in the file as ReadLine
// gives it: a line that holds a NUL byte, or was cut to fit `line`, is
// damaged.  A line is read when it holds the five fields (a local time as
// ISO 8601, elapsed seconds not below 0, an event word, the value, a
// finite limit, or "nan" for "resumed" as this program writes it) and
// nothing after them; an event word this program does not draw, written by
// a later one, still reads.  A "changed" line has four tab-separated texts
// after its five fields (user, what, old value, new value: write_change),
// with no escape but \\, \t, \r and \n, and each fits its room.
int read_event_line(const char *line, int length, EventLine &e);

// What reading an event file found.
struct EventCount {
    long long damaged;  // lines read that could not be read as events
    int drawn;          // events drawn
    long long unread;   // lines after the last one read
};

// What the graph's note says of it; empty when there is nothing to say.
void event_note(const EventCount &count, char (&note)[kEventNoteSize]);

// What the walk over a recording's event file found.
struct EventFileWalk {
    int file;           // 1 read, 0 no event file beside the recording, < 0 it cannot be opened
    long long damaged;  // lines read that could not be read as events
    long long unread;   // lines after the last one read, counted only
};

// Hands each event of the event file beside `recording` to `each`, which
// says whether to go on; reads at most kMostEventLinesRead lines and counts
// the rest.
EventFileWalk walk_recording_events(const char *recording, const std::function<bool(const EventLine &)> &each);
