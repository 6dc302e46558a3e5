#include "alarm/alarm_check.h"

#include <cmath>

#include "alarm/alarm_chart.h"
#include "alarm/alarm_settings.h"
#include "alarm/event_file.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "link/exchange.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"

AlarmState alarm_state;

// Often enough that nobody nearby misses it, seldom enough to stay bearable.
static const double kSoundPeriod = 3.0;

void alarm_merken()
{
    GetPanelAttribute(state.main_panel, kAttrTitle, alarm_state.title);
}

void number_text(double value, char (&text)[32])
{
    const double size = std::fabs(value);
    if (size != 0 && (size < 1e-3 || size >= 1e9)) {
        Fmt(text, "%f[p3e2]", value);
        return;
    }
    Fmt(text, "%f[p6]", value);
    int end = 0;
    while (text[end] != '\0')
        ++end;
    while (end > 0 && text[end - 1] == '0')
        text[--end] = '\0';
    if (end > 0 && text[end - 1] == '.')
        text[--end] = '\0';
}

static void zeigen(const char *reason)
{
    char title[sizeof alarm_state.title + 8];
    Fmt(title, "ALARM - %s", alarm_state.title);
    SetPanelAttribute(state.main_panel, kAttrTitle, title);
    SetCtrlVal(state.main_panel, kMainAlarmReason, reason);
    SetCtrlAttribute(state.main_panel, kMainReading, kAttrTextColour, kColourRed);
    SetCtrlAttribute(state.main_panel, kMainAlarmReason, kAttrTextColour, kColourRed);
    SetCtrlAttribute(state.main_panel, kMainAlarmReason, kAttrVisible, 1);
    SetCtrlAttribute(state.main_panel, kMainAcknowledge, kAttrVisible, 1);
    // The panel says it all where the desktop has no notification area.
    NotifyDesktop(title, reason);
    StartAlertSound(kSoundPeriod);
}

static void verbergen()
{
    StopAlertSound();
    SetPanelAttribute(state.main_panel, kAttrTitle, alarm_state.title);
    SetCtrlVal(state.main_panel, kMainAlarmReason, "");
    SetCtrlAttribute(state.main_panel, kMainReading, kAttrTextColour, kColourDesktop);
    SetCtrlAttribute(state.main_panel, kMainAlarmReason, kAttrVisible, 0);
    SetCtrlAttribute(state.main_panel, kMainAcknowledge, kAttrVisible, 0);
}

static void ausloesen(int kind, double value, double limit)
{
    // The degree sign as Windows-1252 has it (octal, as a hexadecimal
    // escape would take the C along).
    static const char *const kUnits[3] = {"ppm O2", "mV", "\260C"};
    const char *unit = kUnits[settings.mode - 1];
    char number[32], reason[64], shown[100];
    number_text(limit, number);
    int stored;
    if (kind == kAlarmHigh) {
        Fmt(reason, "HIGH > %s %s", number, unit);
        stored = alarm_ereignis("alarm_high", value, limit, state.t_elapsed);
    } else if (kind == kAlarmLow) {
        Fmt(reason, "LOW < %s %s", number, unit);
        stored = alarm_ereignis("alarm_low", value, limit, state.t_elapsed);
    } else {
        Fmt(reason, "NO ANSWER for %s cycles", number);
        stored = alarm_ereignis("no_answer", value, limit, state.t_elapsed);
    }
    // Whoever relies on the event file must learn that it misses this one.
    if (stored == 0)
        Fmt(shown, "%s", reason);
    else
        Fmt(shown, "%s (NOT in the event file: it cannot be written)", reason);
    alarm_state.kind = kind;
    alarm_state.acknowledged = 0;
    alarm_state.limit = limit;
    zeigen(shown);
}

void alarm_pruefen()
{
    if (settings.mode < 1 || settings.mode > 3)
        return;
    const Limits &l = alarm_settings.limits[settings.mode - 1];
    AlarmState &a = alarm_state;
    // A cycle without a reading (no reply, the wrong letter, no number in
    // it) tells nothing about the limits, whatever value the display kept:
    // it counts toward the no-answer alarm only.
    const int answered = exchange_result() == kExchangeReading;
    int kind = a.kind;
    double limit = a.limit;
    if (answered) {
        a.silent_count = 0;
        a.high_count = l.high_on && state.reading > l.high ? a.high_count + 1 : 0;
        a.low_count = l.low_on && state.reading < l.low ? a.low_count + 1 : 0;
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
    if (kind != a.kind) {
        if (kind == kAlarmNone) {
            alarm_ereignis("normal", state.reading, a.limit, state.t_elapsed);
            a.kind = kAlarmNone;
            verbergen();
        } else {
            ausloesen(kind, answered ? state.reading : NAN, limit);
        }
    }
    chart_alarm_time();
}

void alarm_ruhe()
{
    if (alarm_state.kind != kAlarmNone) {
        // The event file does not end in an alarm that never ended.
        const double value = alarm_state.kind == kAlarmNoAnswer ? NAN : state.reading;
        alarm_ereignis("stopped", value, alarm_state.limit, Timer() - state.t_start);
        verbergen();
    }
    alarm_state.kind = kAlarmNone;
    alarm_state.acknowledged = 0;
    alarm_state.high_count = 0;
    alarm_state.low_count = 0;
    alarm_state.silent_count = 0;
}

int quittieren(int, int, int event, void *, int, int)
{
    if (event != kEventCommit || alarm_state.kind == kAlarmNone || alarm_state.acknowledged)
        return 0;
    alarm_state.acknowledged = 1;
    StopAlertSound();
    SetCtrlAttribute(state.main_panel, kMainAcknowledge, kAttrVisible, 0);
    const double value = alarm_state.kind == kAlarmNoAnswer ? NAN : state.reading;
    // When the operator acted, not when the reading was taken.
    alarm_ereignis("acknowledged", value, alarm_state.limit, Timer() - state.t_start);
    return 0;
}
