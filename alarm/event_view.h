// A stored recording with its events: the alarms, acknowledgements and
// returns of its event file drawn where they happened, a marker on the curve
// with a tooltip that says the event and the value.
#pragma once

// After the recording's curve is drawn from the points t, y.  A recording
// without an event file gets nothing; lines that cannot be read are counted
// in a note on the graph, as are the lines past what is read (event_read.h)
// and an event file that cannot be opened.
void show_recording_events(const char *recording, const double *t, const double *y, int points);
