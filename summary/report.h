// The report of a recording on paper: a PDF of its particulars, its graph
// as the panel shows it, its summary and its events, on A4 or Letter.
#pragma once

#include "summary/run_summary.h"

// Draws the recording's readings on the graph (panel, control) as the
// viewer does, with the limits of the summary and the events beside it:
// for the command line, which has no window that shows them.
void draw_for_report(const Summary &summary, int panel, int control);
// 0 once `out` holds the whole report, or an engine failure code.
int write_report(const Summary &summary, const char *out, int page_size, int panel, int graph);
