#include "files/log_file.h"

#include "app/panel_ids.h"
#include "app/settings_file.h"
#include "app/settings_line.h"
#include "app/state.h"
#include "files/file_name.h"
#include "record/seal.h"
#include "rte/formatio.h"
#include "rte/rs232.h"
#include "rte/userint.h"
#include "rte/utility.h"

// An analyser with a name keeps the folder of its last recording in its own
// settings folder: several analysers record to several places, and each
// dialog should open where that analyser's recordings are.  The copy without
// a name writes no file for it, as earlier versions did not.
static const char kFolderFile[] = "vandrel-recordings.ini";

static int keeps_folder()
{
    char name[kProfileNameSize];
    return GetProfile(name) == 0 && name[0] != '\0';
}

static void last_folder(char (&folder)[kPathSize])
{
    folder[0] = '\0';
    if (keeps_folder())
        settings_pairs_read(kFolderFile, false, [&folder](const char *key, const char *value) {
            if (std::strcmp(key, "folder") == 0)
                Fmt(folder, "%s", value);
        });
}

static void keep_folder(const char *file)
{
    if (!keeps_folder())
        return;
    const char *end = name_folder_end(file);
    if (end == nullptr)
        return;
    char folder[kPathSize], fresh[kPathSize];
    Fmt(folder, "%s", file);
    folder[end - file] = '\0';
    const int out = settings_file_create("vandrel-recordings.new", fresh);
    if (out > 0)
        settings_file_replace(out, FmtFile(out, "folder=%s\n", folder), fresh, kFolderFile);
}

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
    char folder[kPathSize];
    last_folder(folder);
    for (;;) {
        chosen = FileSelectPopup(folder, "*.dat", "*.dat;*.*;", "Filename", kLabelOk, 0, 0, 1, 0,
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
    keep_folder(state.log_path);
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
    // Formatted first, so that the seal hashes the bytes the file takes.
    char line[400];  // the widest double in fixed point fits
    Fmt(line, " %f[p1]\t%f[e2] \n", state.t_elapsed, state.reading);
    if (FmtFile(state.log_file, "%s", line) < 0) {
        // Said once, at once, and on the panel: a popup would stop the run.
        if (state.log_failed == 0) {
            char message[kPathSize + 40];
            Fmt(message, "NOT RECORDED (write failed): %s", state.log_path);
            SetCtrlVal(state.main_panel, kMainFile, message);
            state.log_failed = 1;
        }
        return;
    }
    seal_line(line);
    if (state.log_failed != 0) {
        SetCtrlVal(state.main_panel, kMainFile, state.log_path);
        state.log_failed = 0;
    }
}
