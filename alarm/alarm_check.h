// The alarm during a run: after each reading the limits of the quantity
// being measured are checked; an alarm turns the reading red with its
// reason beside it, starts the window title with "ALARM", raises a desktop
// notification once and sounds until acknowledged.  It stays shown until
// the reading is back inside the limits.  Nothing here ever opens a popup.
#pragma once

enum AlarmKind { kAlarmNone = 0, kAlarmHigh = 1, kAlarmLow = 2, kAlarmNoAnswer = 3 };

struct AlarmState {
    int kind;          // AlarmKind
    int acknowledged;
    double limit;      // of the alarm in force: the limit, or the cycles without answer
    int high_count;    // readings in a row above the high limit
    int low_count;
    int silent_count;  // cycles in a row without a reading
    char title[128];   // the main window's title without an alarm
};

extern AlarmState alarm_state;

// A limit as the operator typed it: "10", "0.5", "1e-05".
void number_text(double value, char (&text)[32]);
// Start-up: the main window's own title, before any alarm changes it.
void alarm_merken();
// After each reading of a run.
void alarm_pruefen();
// A run starts or ends: no alarm in force, nothing counted.  An alarm in
// force ends with a "stopped" event, into the run's event file while the
// run still counts as recording.
void alarm_ruhe();
int quittieren(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
