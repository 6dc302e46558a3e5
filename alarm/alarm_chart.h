// The alarms on the strip chart: every active limit of the quantity being
// measured as a dashed line at its value, labelled ("HIGH 1000 ppm"), and
// the time of each alarm shaded while it lies in the history.  The graph
// keeps these marks apart from the plots, so the chart's own redrawing
// leaves them alone.
#pragma once

// The limit lines anew: after the limits are applied or read, or the
// quantity changes.
void chart_limits();
// After each check of a run, with whether an alarm is in force now: the
// shading of the alarm in force grows to the newest reading, and an alarm
// that has left the history loses its shading.
void chart_alarm_time(int in_force);
// A new run or a stored file on the graph: only the limit lines stay.
void chart_clear();
