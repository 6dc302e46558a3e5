#include "link/serial_port.h"

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/rs232.h"
#include "rte/userint.h"

#include <cstring>

namespace {

// The port panel says why the port did not open, and nothing once it did.
// Written only when that changes: a port that opens at the start leaves
// the panel, empty as it is made, unmade until the operator asks for it.
void show_port_status()
{
    static char shown[260] = "";
    char why[200];
    GetComOpenFailure(settings.com_port, why);
    char status[260] = "";
    if (state.port_open == 0)
        Fmt(status, "Port %d cannot be opened: %s.", settings.com_port, why);
    if (std::strcmp(status, shown) == 0)
        return;
    SetCtrlVal(state.com_panel, kPortStatus, status);
    std::strcpy(shown, status);
}

}  // namespace

void ComOpen()
{
    if (OpenComConfig(settings.com_port, "", 9600, 0, 8, 1, 128, 24) == 0) {
        state.port_open = 1;
        SetComTime(settings.com_port, 0.6);
    } else {
        DisplayPanel(state.com_panel);
        SetCtrlVal(state.com_panel, kPortNumber, settings.com_port);
    }
    show_port_status();
}
