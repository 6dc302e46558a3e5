// Moments of a run as text: its start as the run file gives it, and each
// reading's absolute time from there, in ISO 8601 with the offset from UTC
// that the run started with.
#pragma once

// "2026-12-10T16:25:03.120Z" as seconds since 1970 (UTC); nan when the
// text is not such a time.
double utc_seconds(const char *text);
// "+01:00", "-03:30" as minutes east of UTC; 0 and false when it is not one.
bool offset_minutes(const char *text, int &minutes);
// "2026-12-10T17:25:03.120+01:00": the moment at that offset, to the
// millisecond.
void local_time_text(double utc, int offset, char (&text)[40]);
