#include "app/another_panel.h"

#include <cstring>
#include <string>

#include "app/panel_ids.h"
#include "app/profile.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"

static int another_panel;
static int alone;

// More than any bench has; the rest go unlisted but start all the same.
enum { kListed = 64 };

static void show_analysers()
{
    static char names[kListed][kProfileNameSize];
    const int n = ListProfiles(names, kListed);
    std::string text = n == 0 ? "No analyser has a name yet on this computer. Type one to start the first."
                              : "Analysers on this computer:";
    for (int i = 0; i < n; ++i)
        text.append(i == 0 ? " " : ", ").append(names[i]);
    SetCtrlVal(another_panel, kAnotherAnalysers, text.c_str());
}

static void open_panel()
{
    if (another_panel <= 0) {
        another_panel = LoadPanel(0, kPanelFile, kAnotherPanel);
        show_analyser(another_panel);
    }
    show_analysers();
    SetCtrlVal(another_panel, kAnotherStatus, "");
    DisplayPanel(another_panel);
}

void another_menu(int, int, void *, int)
{
    open_panel();
}

void another_alone()
{
    alone = 1;
    open_panel();
}

int another_start(int, int, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    char name[80], own[kProfileNameSize], status[200];
    GetCtrlVal(another_panel, kAnotherName, name);
    GetProfile(own);
    if (const char *fault = ProfileNameFault(name)) {
        Fmt(status, "The name %s.", fault);
    } else if (std::strcmp(name, own) == 0) {
        Fmt(status, "This window is the analyser %s.", name);
    } else {
        const char *const arguments[] = {"--profile", name};
        if (StartProgramCopy(arguments, 2) != 0) {
            Fmt(status, "The program cannot be started again here.");
        } else if (alone) {
            ExitProgram(0);
            return 0;
        } else {
            // Open already: the copy started finds it so and brings it forward.
            Fmt(status, "The analyser %s starts in a window of its own.", name);
            show_analysers();
        }
    }
    SetCtrlVal(another_panel, kAnotherStatus, status);
    return 0;
}

int another_close(int, int event, void *, int, int)
{
    if (event != kEventClose)
        return 0;
    HidePanel(another_panel);
    if (alone)
        ExitProgram(0);
    return 0;
}
