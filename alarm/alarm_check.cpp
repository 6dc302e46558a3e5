#include "alarm/alarm_check.h"

#include <cmath>

#include "alarm/alarm_settings.h"
#include "app/state.h"

AlarmState alarm_state;

static const AlarmEvent kNothing = {nullptr, kAlarmNone, 0, 0, 0};

// The value an event of the alarm in force carries: none for the analyser
// that does not answer.
static double value_of_alarm(double reading)
{
    return alarm_state.kind == kAlarmNoAnswer ? NAN : reading;
}

AlarmEvent alarm_check(int answered, double reading, double elapsed)
{
    if (settings.mode < 1 || settings.mode > 3)
        return kNothing;
    const Limits &l = alarm_settings.limits[settings.mode - 1];
    AlarmState &a = alarm_state;
    // A cycle without a reading (no reply, the wrong letter, no number in
    // it) tells nothing about the limits, whatever value the display kept.
    int kind = a.kind;
    double limit = a.limit;
    if (answered) {
        a.silent_count = 0;
        a.high_count = l.high_on && reading > l.high ? a.high_count + 1 : 0;
        a.low_count = l.low_on && reading < l.low ? a.low_count + 1 : 0;
        if (a.high_count > 0 && a.high_count >= l.delay) {
            kind = kAlarmHigh;
            limit = l.high;
        } else if (a.low_count > 0 && a.low_count >= l.delay) {
            kind = kAlarmLow;
            limit = l.low;
        } else {
            kind = kAlarmNone;
        }
    } else {
        ++a.silent_count;
        if (alarm_settings.silence_on && a.silent_count >= alarm_settings.silence_cycles) {
            kind = kAlarmNoAnswer;
            limit = alarm_settings.silence_cycles;
        }
    }
    if (kind == a.kind)
        return kNothing;
    if (kind == kAlarmNone) {
        const AlarmEvent back = {"normal", kAlarmNone, reading, a.limit, elapsed};
        a.kind = kAlarmNone;
        return back;
    }
    static const char *const kEvents[] = {"", "alarm_high", "alarm_low", "no_answer"};
    a.kind = kind;
    a.acknowledged = 0;
    a.limit = limit;
    return {kEvents[kind], kind, answered ? reading : NAN, limit, elapsed};
}

AlarmEvent alarm_acknowledge(double reading, double elapsed)
{
    if (alarm_state.kind == kAlarmNone || alarm_state.acknowledged)
        return kNothing;
    alarm_state.acknowledged = 1;
    return {"acknowledged", alarm_state.kind, value_of_alarm(reading), alarm_state.limit, elapsed};
}

AlarmEvent alarm_reset(double reading, double elapsed)
{
    // The event file does not end in an alarm that never ended.
    AlarmEvent stopped = kNothing;
    if (alarm_state.kind != kAlarmNone)
        stopped = {"stopped", kAlarmNone, value_of_alarm(reading), alarm_state.limit, elapsed};
    alarm_state.kind = kAlarmNone;
    alarm_state.acknowledged = 0;
    alarm_state.high_count = 0;
    alarm_state.low_count = 0;
    alarm_state.silent_count = 0;
    return stopped;
}
