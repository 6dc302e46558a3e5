// The alarm during a run: after each reading the limits of the quantity
// being measured are checked, and an alarm stays in force until the reading
// is back inside them.  The check only decides: what it returns is an event
// for whoever hands events on (the event file, the broker, the main panel).
#pragma once

enum AlarmKind { kAlarmNone = 0, kAlarmHigh = 1, kAlarmLow = 2, kAlarmNoAnswer = 3 };

struct AlarmState {
    int kind;          // AlarmKind
    int acknowledged;
    double limit;      // of the alarm in force: the limit, or the cycles without answer
    int high_count;    // readings in a row above the high limit
    int low_count;
    int silent_count;  // cycles in a row without a reading
};

extern AlarmState alarm_state;

// What happened: "alarm_high", "alarm_low", "no_answer", "acknowledged",
// "normal" or "stopped"; event nullptr when nothing did.
struct AlarmEvent {
    const char *event;
    int kind;        // the alarm in force after it (AlarmKind)
    double value;    // the reading; NaN when there is none
    double limit;    // the limit concerned; the cycles for "no_answer"
    double elapsed;  // seconds since the start of the run
};

// After each reading of a run: `answered` says whether the analyser gave a
// reading at all; a cycle without one counts toward the no-answer alarm
// only.
AlarmEvent alarm_check(int answered, double reading, double elapsed);
// The operator acknowledges the alarm in force; nothing happens when there
// is none or it is acknowledged already.
AlarmEvent alarm_acknowledge(double reading, double elapsed);
// A run starts or ends: no alarm in force, nothing counted.  An alarm in
// force ends with "stopped".
AlarmEvent alarm_reset(double reading, double elapsed);
