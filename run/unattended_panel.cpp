#include "run/unattended_panel.h"

#include "app/panel_ids.h"
#include "app/profile.h"
#include "app/settings_file.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/resume_mark.h"

int unattended_panel;

static void show_switches(const char *status)
{
    SetCtrlVal(unattended_panel, kUnattendedResume, resume.on);
    SetCtrlVal(unattended_panel, kUnattendedSessionStart, GetSessionStart() == 1 ? 1 : 0);
    SetCtrlVal(unattended_panel, kUnattendedStatus, status);
    char path[kPathSize], text[kPathSize + 40];
    if (settings_file_path("vandrel-resume.ini", path) == 0)
        Fmt(text, "Kept in: %s", path);
    else
        Fmt(text, "The settings folder cannot be used: the switch holds until the program ends.");
    SetCtrlVal(unattended_panel, kUnattendedSettingsFile, text);
    if (GetSessionStartPath(path) == 0)
        Fmt(text, "Session start: %s", path);
    else
        Fmt(text, "This system offers no start with the session for this user.");
    SetCtrlVal(unattended_panel, kUnattendedEntry, text);
}

void unattended_menu(int, int, void *, int)
{
    if (unattended_panel <= 0) {
        unattended_panel = LoadPanel(0, kPanelFile, kUnattendedPanel);
        show_analyser(unattended_panel);
    }
    show_switches("");
    DisplayPanel(unattended_panel);
}

int unattended_switch(int, int control, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    int on = 0;
    GetCtrlVal(unattended_panel, control, on);
    const char *status = "";
    if (control == kUnattendedResume) {
        resume.on = on;
        // A run going on now counts from here; switched off, none does.
        resume.running = 0;
        const int saved = on != 0 && state.running != 0
                              ? resume_run_started(state.recording != 0 ? state.log_path : "")
                              : resume_save();
        if (saved != 0)
            status = "The switch cannot be saved: it holds until the program ends.";
    } else if (SetSessionStart(on) != 0) {
        status = on != 0 ? "The session start cannot be written." : "The session start cannot be removed.";
    }
    show_switches(status);
    return 0;
}

int unattended_close(int, int event, void *, int, int)
{
    if (event == kEventClose)
        HidePanel(unattended_panel);
    return 0;
}
