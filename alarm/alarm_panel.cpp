#include "alarm/alarm_panel.h"

#include "alarm/alarm_chart.h"
#include "alarm/alarm_check.h"
#include "alarm/alarm_settings.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"

int alarm_panel;

// The panel's controls of each quantity: low on, low, high on, high, delay.
static const int kLimitControls[3][5] = {
    {kAlarmsOxygenLowOn, kAlarmsOxygenLow, kAlarmsOxygenHighOn, kAlarmsOxygenHigh, kAlarmsOxygenDelay},
    {kAlarmsVoltageLowOn, kAlarmsVoltageLow, kAlarmsVoltageHighOn, kAlarmsVoltageHigh, kAlarmsVoltageDelay},
    {kAlarmsTemperatureLowOn, kAlarmsTemperatureLow, kAlarmsTemperatureHighOn, kAlarmsTemperatureHigh,
     kAlarmsTemperatureDelay},
};

static void limits_zeigen()
{
    for (int q = 0; q < 3; ++q) {
        const Limits &l = alarm_settings.limits[q];
        SetCtrlVal(alarm_panel, kLimitControls[q][0], l.low_on);
        SetCtrlVal(alarm_panel, kLimitControls[q][1], l.low);
        SetCtrlVal(alarm_panel, kLimitControls[q][2], l.high_on);
        SetCtrlVal(alarm_panel, kLimitControls[q][3], l.high);
        SetCtrlVal(alarm_panel, kLimitControls[q][4], l.delay);
    }
    SetCtrlVal(alarm_panel, kAlarmsSilenceOn, alarm_settings.silence_on);
    SetCtrlVal(alarm_panel, kAlarmsSilenceCycles, alarm_settings.silence_cycles);
}

void alarme_einrichten()
{
    alarm_panel = LoadPanel(0, kPanelFile, kAlarmsPanel);
    alarm_merken();
    alarme_lesen();
}

void alarme_lesen()
{
    const int read = alarm_settings_load();
    char path[kPathSize];
    if (alarm_settings_path(path) == 0) {
        char where[kPathSize + 30];
        Fmt(where, "Alarm settings file: %s", path);
        SetCtrlVal(alarm_panel, kAlarmsSettingsFile, where);
    }
    if (read == kAlarmFileMissing)
        SetCtrlVal(alarm_panel, kAlarmsStatus, "No alarm settings file: no limits are set.");
    else if (read == kAlarmFileDamaged)
        SetCtrlVal(alarm_panel, kAlarmsStatus,
                   "The alarm settings file is damaged: no limits are set until new ones are applied.");
    else if (read == kAlarmFileNoPlace)
        SetCtrlVal(alarm_panel, kAlarmsStatus,
                   "The settings folder cannot be used: no limits are set, and limits applied are not kept.");
    else
        SetCtrlVal(alarm_panel, kAlarmsStatus, "");
    limits_zeigen();
    chart_limits();
}

void alarme(int, int, void *, int)
{
    DisplayPanel(alarm_panel);
}

int alarme_ok(int, int, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    AlarmSettings typed;
    for (int q = 0; q < 3; ++q) {
        Limits &l = typed.limits[q];
        GetCtrlVal(alarm_panel, kLimitControls[q][0], l.low_on);
        GetCtrlVal(alarm_panel, kLimitControls[q][1], l.low);
        GetCtrlVal(alarm_panel, kLimitControls[q][2], l.high_on);
        GetCtrlVal(alarm_panel, kLimitControls[q][3], l.high);
        GetCtrlVal(alarm_panel, kLimitControls[q][4], l.delay);
    }
    GetCtrlVal(alarm_panel, kAlarmsSilenceOn, typed.silence_on);
    GetCtrlVal(alarm_panel, kAlarmsSilenceCycles, typed.silence_cycles);
    if (const char *fault = alarm_settings_fault(typed)) {
        char message[128];
        Fmt(message, "Not applied: %s The limits in force stay.", fault);
        SetCtrlVal(alarm_panel, kAlarmsStatus, message);
        return 0;
    }
    alarm_settings = typed;
    chart_limits();
    if (alarm_settings_save() == 0)
        SetCtrlVal(alarm_panel, kAlarmsStatus, "Applied and kept.");
    else
        SetCtrlVal(alarm_panel, kAlarmsStatus,
                   "Applied, but not kept: the alarm settings file cannot be written.");
    return 0;
}

int alarme_end(int, int event, void *, int, int)
{
    if (event == kEventClose) {
        // What was typed and not applied is forgotten.
        limits_zeigen();
        HidePanel(alarm_panel);
    }
    return 0;
}
