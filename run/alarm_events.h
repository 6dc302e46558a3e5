// Where an alarm event goes on from: the event file, the site's broker and
// the main panel, in that order, whether it comes from the check after a
// reading, the operator's Acknowledge or the end of a run.
#pragma once

#include "alarm/alarm_check.h"

// Nothing when nothing happened.
void hand_on_event(const AlarmEvent &e);
// A run starts or ends without an alarm in force: one in force ends with a
// "stopped" event, into the run's event file while the run still counts as
// recording.
void alarm_quiet();
int acknowledge(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
