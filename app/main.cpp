// The oxygen analyser program: queries the analyser once per interval,
// shows, draws and records the readings, and draws stored recordings.
#include <cstring>

#include "app/another_panel.h"
#include "app/callbacks.h"
#include "app/profile.h"
#include "app/shell.h"
#include "record/verify.h"
#include "rte/userint.h"
#include "summary/command_line.h"

int main(int argc, char *argv[])
{
    // A recording checked against its seal: no window, no settings folder.
    if (argc >= 2 && std::strcmp(argv[1], "--verify") == 0)
        return verify_command(argc, argv);
    // A summary, an export or a report of a stored file: no window, no
    // claim on the analyser, nothing of its settings written.
    SummaryTask task;
    const int named = summary_task_named(argc, argv, task);
    start_engine(argc, argv);
    int status = 0;
    const StartAs start = named != kNoTask ? kStartNot : read_command_line(argc, argv, status);
    if (named != kNoTask) {
        ExitProgram(named == kTaskNamedWrongly ? kTaskBadCommand : run_summary_task(task));
    } else if (start == kStartChooser) {
        another_alone();
    } else if (start == kStartNot) {
        ExitProgram(status);
    } else if (claim_analyser() == 0) {
        // Before anything is read or written: a second copy of the analyser
        // must not resume, record or publish what the first one does.
        ExitProgram(0);
    } else {
        laden();
        setup();
    }
    // Ends the process, with the engine's own end.
    return RunUserInterface();
}
