// The oxygen analyser program: queries the analyser once per interval,
// shows, draws and records the readings, and draws stored recordings.
#include "app/another_panel.h"
#include "app/callbacks.h"
#include "app/profile.h"
#include "app/shell.h"
#include "rte/userint.h"

int main(int argc, char *argv[])
{
    start_engine(argc, argv);
    int status = 0;
    const StartAs start = read_command_line(argc, argv, status);
    if (start == kStartChooser) {
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
