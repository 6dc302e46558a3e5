// The whole program's start, as its main does it, for the tests that kill it
// mid-run and start it again: a copy of it is started in the folder that
// keeps its settings.
//
//   restarted_program            starts; a run resumes or not by itself
//   restarted_program start FILE switches "Resume the run after a restart"
//                                and "Start with the session" on, in the
//                                Unattended panel, and starts a run
//                                recording to FILE
//   restarted_program stop       presses Stop once started
//
// After the start (and the action) it prints "running R recording C", then
// runs the event loop until it is ended.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/callbacks.h"
#include "app/panel_ids.h"
#include "app/shell.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "run/unattended_panel.h"

int main(int argc, char **argv)
{
    const bool start = argc == 3 && std::strcmp(argv[1], "start") == 0;
    const bool stop = argc == 2 && std::strcmp(argv[1], "stop") == 0;
    if (argc != 1 && !start && !stop) {
        std::fprintf(stderr, "usage: %s [start FILE | stop]\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int engineArgc = 1;
    start_engine(engineArgc, argv);
    laden();
    setup();
    if (start) {
        rte::testing::activateMenuItem(state.menu_bar, kMainUnattendedItem);
        rte::testing::operate(unattended_panel, kUnattendedResume);
        rte::testing::operate(unattended_panel, kUnattendedSessionStart);
        rte::testing::closePanel(unattended_panel);
        rte::testing::queueFileSelect(kSelectionNew, argv[2]);
        rte::testing::operate(state.main_panel, kMainStart);
    }
    if (stop)
        rte::testing::operate(state.main_panel, kMainStop);
    std::printf("running %d recording %d\n", state.running, state.recording);
    std::fflush(stdout);
    return RunUserInterface();
}
