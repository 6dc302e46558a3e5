// The "Alarms" panel: the limits of each quantity and the no-answer alarm,
// applied and kept in the alarm settings file when valid, refused on the
// panel itself when not (a run may be going on: no popup).
#pragma once

extern int alarm_panel;

// Start-up: loads the panel and reads the alarm settings file.
void alarms_start();
// Reads the alarm settings file into the panel; the panel says when there
// is none or it is damaged.
void alarms_read();
void alarms_menu(int menuBar, int menuItem, void *callbackData, int panel);
int alarms_apply(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int alarms_close(int panel, int event, void *callbackData, int eventData1, int eventData2);
