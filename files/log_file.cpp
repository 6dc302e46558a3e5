#include "files/log_file.h"

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/rs232.h"
#include "rte/userint.h"

static const char *open_failure(int code)
{
    switch (code) {
    case kFileNotFound:
        return "the folder does not exist";
    case kFileAccessDenied:
        return "permission denied";
    case kFileTooManyOpen:
        return "too many files are open";
    default:
        return "the system refused to open it";
    }
}

void speichern_starten()
{
    if (state.recording != 0)
        return;
    int chosen;
    for (;;) {
        chosen = FileSelectPopup("", "*.dat", "*.dat;*.*;", "Filename", kLabelOk, 0, 0, 1, 0,
                                 state.log_path);
        if (chosen != kSelectionExisting ||
            ConfirmPopup("File already exists !", "Do you want to overwrite it ?") != 0)
            break;
    }
    if (chosen != kSelectionExisting && chosen != kSelectionNew) {
        SetCtrlVal(state.main_panel, kMainFile, "no file");
        state.recording = 0;
        return;
    }
    const int opened = aufzeichnung_oeffnen();
    if (opened <= 0) {
        // The run still starts, but nobody may believe it is being recorded.
        char message[kPathSize + 160];
        Fmt(message, "The recording file cannot be opened (%s):\n%s\n\nThe run goes on without recording.",
            open_failure(opened), state.log_path);
        PathMessagePopup("", message);
        SetCtrlVal(state.main_panel, kMainFile, "no file");
    }
}

int aufzeichnung_oeffnen()
{
    state.log_file = OpenFile(state.log_path, kOpenReadWrite, kOpenTruncate, kOpenText);
    if (state.log_file <= 0)
        return state.log_file;
    state.recording = 1;
    state.log_failed = 0;
    SetCtrlVal(state.main_panel, kMainFile, state.log_path);
    SetComTime(settings.com_port, 0.3);
    return state.log_file;
}

void aufzeichnen()
{
    if (FmtFile(state.log_file, " %f[p1]\t%f[e2] \n", state.t_elapsed, state.reading) < 0) {
        // Said once, at once, and on the panel: a popup would stop the run.
        if (state.log_failed == 0) {
            char message[kPathSize + 40];
            Fmt(message, "NOT RECORDED (write failed): %s", state.log_path);
            SetCtrlVal(state.main_panel, kMainFile, message);
            state.log_failed = 1;
        }
    } else if (state.log_failed != 0) {
        SetCtrlVal(state.main_panel, kMainFile, state.log_path);
        state.log_failed = 0;
    }
}
