// The oxygen analyser program: queries the analyser once per interval,
// shows, draws and records the readings, and draws stored recordings.
#include "app/callbacks.h"
#include "app/shell.h"
#include "rte/userint.h"

int main(int argc, char *argv[])
{
    start_engine(argc, argv);
    laden();
    setup();
    RunUserInterface();
    return 0;
}
