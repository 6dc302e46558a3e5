#include "alarm/alarm_display.h"

#include <cstring>

#include "alarm/number_text.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"

// Often enough that nobody nearby misses it, seldom enough to stay bearable.
static const double kSoundPeriod = 3.0;

// The main window's title without an alarm.
static char title[128];

void alarm_keep_title()
{
    GetPanelAttribute(state.main_panel, kAttrTitle, title);
}

static void raise(const char *reason)
{
    char alarm_title[sizeof title + 8];
    Fmt(alarm_title, "ALARM - %s", title);
    SetPanelAttribute(state.main_panel, kAttrTitle, alarm_title);
    SetCtrlVal(state.main_panel, kMainAlarmReason, reason);
    SetCtrlAttribute(state.main_panel, kMainReading, kAttrTextColour, kColourRed);
    SetCtrlAttribute(state.main_panel, kMainAlarmReason, kAttrTextColour, kColourRed);
    SetCtrlAttribute(state.main_panel, kMainAlarmReason, kAttrVisible, 1);
    SetCtrlAttribute(state.main_panel, kMainAcknowledge, kAttrVisible, 1);
    // The panel says it all where the desktop has no notification area.
    NotifyDesktop(alarm_title, reason);
    StartAlertSound(kSoundPeriod);
}

static void end()
{
    StopAlertSound();
    SetPanelAttribute(state.main_panel, kAttrTitle, title);
    SetCtrlVal(state.main_panel, kMainAlarmReason, "");
    SetCtrlAttribute(state.main_panel, kMainReading, kAttrTextColour, kColourDesktop);
    SetCtrlAttribute(state.main_panel, kMainAlarmReason, kAttrVisible, 0);
    SetCtrlAttribute(state.main_panel, kMainAcknowledge, kAttrVisible, 0);
}

static void silence()
{
    StopAlertSound();
    SetCtrlAttribute(state.main_panel, kMainAcknowledge, kAttrVisible, 0);
}

// "HIGH > 10 ppm O2", "LOW < 200 mV", "NO ANSWER for 3 cycles".
static void reason_of(const AlarmEvent &e, char (&reason)[64])
{
    // The degree sign as Windows-1252 has it (octal, as a hexadecimal
    // escape would take the C along).
    static const char *const kUnits[3] = {"ppm O2", "mV", "\260C"};
    const char *unit = settings.mode >= 1 && settings.mode <= 3 ? kUnits[settings.mode - 1] : "";
    char number[32];
    number_text(e.limit, number);
    if (e.kind == kAlarmHigh)
        Fmt(reason, "HIGH > %s %s", number, unit);
    else if (e.kind == kAlarmLow)
        Fmt(reason, "LOW < %s %s", number, unit);
    else
        Fmt(reason, "NO ANSWER for %s cycles", number);
}

void alarm_show(const AlarmEvent &e, int stored)
{
    if (e.event == nullptr)
        return;
    if (e.kind == kAlarmNone) {
        end();
        return;
    }
    if (std::strcmp(e.event, "acknowledged") == 0) {
        silence();
        return;
    }
    char reason[64], shown[100];
    reason_of(e, reason);
    if (stored)
        Fmt(shown, "%s", reason);
    else
        Fmt(shown, "%s (NOT in the event file: it cannot be written)", reason);
    raise(shown);
}
