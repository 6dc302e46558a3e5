#include "alarm/alarm_panel.h"

#include <array>

#include "alarm/alarm_chart.h"
#include "alarm/alarm_display.h"
#include "alarm/alarm_settings.h"
#include "alarm/audit.h"
#include "app/panel_fields.h"
#include "app/panel_ids.h"
#include "app/profile.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"

int alarm_panel;

// The panel's controls and the fields of the alarm settings they show.
static std::array<PanelField, 17> fields(AlarmSettings &a)
{
    Limits &o = a.limits[0], &v = a.limits[1], &t = a.limits[2];
    return {{
        panel_field(kAlarmsOxygenLowOn, o.low_on),
        panel_field(kAlarmsOxygenLow, o.low),
        panel_field(kAlarmsOxygenHighOn, o.high_on),
        panel_field(kAlarmsOxygenHigh, o.high),
        panel_field(kAlarmsOxygenDelay, o.delay),
        panel_field(kAlarmsVoltageLowOn, v.low_on),
        panel_field(kAlarmsVoltageLow, v.low),
        panel_field(kAlarmsVoltageHighOn, v.high_on),
        panel_field(kAlarmsVoltageHigh, v.high),
        panel_field(kAlarmsVoltageDelay, v.delay),
        panel_field(kAlarmsTemperatureLowOn, t.low_on),
        panel_field(kAlarmsTemperatureLow, t.low),
        panel_field(kAlarmsTemperatureHighOn, t.high_on),
        panel_field(kAlarmsTemperatureHigh, t.high),
        panel_field(kAlarmsTemperatureDelay, t.delay),
        panel_field(kAlarmsSilenceOn, a.silence_on),
        panel_field(kAlarmsSilenceCycles, a.silence_cycles),
    }};
}

static void show_limits()
{
    show_fields(alarm_panel, fields(alarm_settings));
}

// What the start found in the alarm settings file, shown when the panel is
// first opened; from then on the panel is written as things happen.
static int read_at_start;
static bool panel_written = false;

static void write_panel(int read);

void alarms_start()
{
    alarm_panel = LoadPanel(0, kPanelFile, kAlarmsPanel);
    show_analyser(alarm_panel);
    alarm_keep_title();
    // The limits are in force and on the chart from the start; the panel is
    // made when first opened, so that the first paint does not wait for it.
    read_at_start = alarm_settings_load();
    chart_limits();
}

void alarms_read()
{
    write_panel(alarm_settings_load());
    chart_limits();
}

static void write_panel(int read)
{
    panel_written = true;
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
    show_limits();
}

void alarms_menu(int, int, void *, int)
{
    if (!panel_written)
        write_panel(read_at_start);
    DisplayPanel(alarm_panel);
}

// Each limit, switch and count that Apply changed, by its name in the event
// file ("oxygen.high", "no_answer.cycles").
static void audit_limits(const AlarmSettings &was)
{
    static const char *const kQuantities[3] = {"oxygen", "voltage", "temperature"};
    for (int q = 0; q < 3; ++q) {
        const Limits &a = was.limits[q], &b = alarm_settings.limits[q];
        char name[32];
        const auto named = [&](const char *field) {
            Fmt(name, "%s.%s", kQuantities[q], field);
            return name;
        };
        audit_switch(named("low_on"), a.low_on, b.low_on);
        audit_number(named("low"), a.low, b.low);
        audit_switch(named("high_on"), a.high_on, b.high_on);
        audit_number(named("high"), a.high, b.high);
        audit_number(named("delay"), a.delay, b.delay);
    }
    audit_switch("no_answer.on", was.silence_on, alarm_settings.silence_on);
    audit_number("no_answer.cycles", was.silence_cycles, alarm_settings.silence_cycles);
}

int alarms_apply(int, int, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    AlarmSettings typed = alarm_settings;
    read_fields(alarm_panel, fields(typed));
    if (const char *fault = alarm_settings_fault(typed)) {
        char message[128];
        Fmt(message, "Not applied: %s The limits in force stay.", fault);
        SetCtrlVal(alarm_panel, kAlarmsStatus, message);
        return 0;
    }
    const AlarmSettings was = alarm_settings;
    alarm_settings = typed;
    audit_limits(was);
    chart_limits();
    if (alarm_settings_save() == 0)
        SetCtrlVal(alarm_panel, kAlarmsStatus, "Applied and kept.");
    else
        SetCtrlVal(alarm_panel, kAlarmsStatus,
                   "Applied, but not kept: the alarm settings file cannot be written.");
    return 0;
}

int alarms_close(int, int event, void *, int, int)
{
    if (event == kEventClose) {
        // What was typed and not applied is forgotten.
        show_limits();
        HidePanel(alarm_panel);
    }
    return 0;
}
