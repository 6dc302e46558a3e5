#include "run/run_record.h"

#include "app/panel_ids.h"
#include "app/state.h"
#include "publish/publish.h"
#include "record/run_file.h"
#include "record/seal.h"
#include "rte/formatio.h"
#include "rte/userint.h"

void run_record_start(const char *resumed_from, double resume_gap)
{
    char path[kPathSize];
    if (run_file_start(resumed_from, resume_gap, path) == 0 || state.recording == 0)
        return;
    // Not a popup: a resumed run has nobody to answer it.  The recording
    // goes on; only its seal is missing.
    char message[kPathSize + 80];
    Fmt(message, "NOT SEALED (the run file cannot be written): %s", state.log_path);
    SetCtrlVal(state.main_panel, kMainFile, message);
}

// An entry reaches the outbox whether or not the run file took it: the
// witness outside the computer holds it all the same.
static void seal_entry(const char *kind)
{
    SealEntry entry;
    if (seal_write(kind, entry) >= 0)
        publish_seal(entry);
}

void seal_minute()
{
    if (seal_due())
        seal_entry("minute");
}

void close_recording()
{
    if (state.recording == 0)
        return;
    seal_entry("end");
    seal_close();
    CloseFile(state.log_file);
    state.recording = 0;
}
