#include "link/port_change.h"

#include "alarm/audit.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "link/serial_port.h"
#include "rte/formatio.h"
#include "rte/rs232.h"
#include "rte/userint.h"
#include "run/run_control.h"

void comport(int, int, void *, int)
{
    DisplayPanel(state.com_panel);
    SetCtrlVal(state.com_panel, kPortNumber, settings.com_port);
}

int comok(int, int, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    if (state.port_open == 1)
        CloseCom(settings.com_port);
    state.port_open = 0;
    const int was = settings.com_port;
    GetCtrlVal(state.com_panel, kPortNumber, settings.com_port);
    // Before the port opens: a run that ends because it does not still has
    // the change in its own event file.
    audit_number("port", was, settings.com_port);
    ComOpen();
    if (state.port_open == 1) {
        HidePanel(state.com_panel);
        return 0;
    }
    // The panel stays, saying why, for another number or another try.
    MessagePopup("", "COM port cannot be opened !");
    end_run();
    return 0;
}
