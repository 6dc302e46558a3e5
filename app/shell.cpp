#include "app/shell.h"

#include "alarm/alarm_panel.h"
#include "app/panel_ids.h"
#include "app/profile.h"
#include "app/settings_file.h"
#include "app/state.h"
#include "link/serial_port.h"
#include "publish/publish.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "run/alarm_events.h"
#include "run/resume.h"
#include "run/resume_mark.h"
#include "run/run_record.h"

// What the info panel says of the settings file, as the start found it.
static char settings_file_text[kPathSize + 200];

void laden()
{
    state.main_panel = LoadPanel(0, kPanelFile, kMainPanel);
    state.com_panel = LoadPanel(0, kPanelFile, kPortPanel);
    state.info_panel = LoadPanel(0, kPanelFile, kInfoPanel);
    state.menu_bar = GetPanelMenuBar(state.main_panel);
    for (const int panel : {state.main_panel, state.com_panel, state.info_panel})
        show_analyser(panel);
}

void setup()
{
    state.port_open = 0;
    state.running = 0;
    state.recording = 0;
    settings_load();
    publish_start();
    // The info panel names the file, which differs between a private and a
    // shared installation; it is written when the panel is first shown.
    char path[kPathSize];
    const int named = settings_path(path) == 0;
    if (named)
        Fmt(settings_file_text, "Settings file: %s", path);
    else
        Fmt(settings_file_text, "%s",
            "Settings file: none (the settings folder cannot be used or its path is too long); the default "
            "settings are used and not saved.");
    DisplayPanel(state.main_panel);
    // Said once, at start-up: the end of the program saves nothing and says nothing.
    if (!named)
        MessagePopup("Settings",
                     "The settings cannot be kept: the settings folder cannot be used or its path "
                     "is too long.\n\nThe program starts with the default settings and does not save them.");
    settings_zeigen();
    alarms_start();
    ComOpen();
    resume_at_start();
}

// The settings into the main panel's controls, as start-up shows them.
void settings_zeigen()
{
    SetCtrlVal(state.main_panel, kMainInterval, settings.interval);
    SetCtrlVal(state.main_panel, kMainYMin, settings.y_min);
    SetCtrlVal(state.main_panel, kMainYMax, settings.y_max);
    SetCtrlVal(state.main_panel, kMainAutoscale, settings.autoscale);
    SetCtrlVal(state.main_panel, kMainQuantity, settings.mode);
    SetCtrlVal(state.main_panel, kMainLogScale, settings.log_scale);
}

void enden()
{
    char path[kPathSize];
    // Where the settings have no place, the start said so once.
    if (settings_save() != 0 && settings_path(path) == 0) {
        char message[kPathSize + 200];
        Fmt(message,
            "The settings could not be saved: %s could not be written or replaced "
            "(another program may be holding it).\n\nIt keeps the settings saved before.",
            path);
        PathMessagePopup("Settings", message);
    }
    publish_stop();
    ExitProgram(0);
}

int endSC(int, int event, void *, int, int)
{
    if (event == kEventClose) {
        // The run ends with the program, and an alarm in force with it.
        alarm_quiet();
        close_recording();
        resume_run_ended();
        enden();
    }
    return 0;
}

void stripch(int, int, void *, int)
{
    DisplayPanel(state.main_panel);
    SetCtrlVal(state.main_panel, kMainInterval, settings.interval);
    SetCtrlVal(state.main_panel, kMainYMin, settings.y_min);
    SetCtrlVal(state.main_panel, kMainYMax, settings.y_max);
    SetCtrlVal(state.main_panel, kMainAutoscale, settings.autoscale);
}

int velto(int, int, int event, void *, int, int)
{
    if (event == kEventCommit) {
        // Here, not at the start: the panel is made when first used, and the
        // first paint does not wait for a panel nobody has asked for yet.
        SetCtrlVal(state.info_panel, kInfoSettingsFile, settings_file_text);
        DisplayPanel(state.info_panel);
    }
    return 0;
}

int velto_end(int, int event, void *, int, int)
{
    if (event == kEventClose)
        HidePanel(state.info_panel);
    return 0;
}
