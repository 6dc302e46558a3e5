// The alarm on the main panel: an alarm turns the reading red with its
// reason beside it, starts the window title with "ALARM", raises a desktop
// notification once and sounds until acknowledged; it stays shown until
// the alarm ends.  Nothing here ever opens a popup.
#pragma once

#include "alarm/alarm_check.h"

// Start-up: the main window's own title, before any alarm changes it.
void alarm_keep_title();
// The panel after an event; `stored` says whether the event file took it,
// which whoever relies on that file must learn when it did not.
void alarm_show(const AlarmEvent &e, int stored);
