#include "link/serial_port.h"

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/rs232.h"
#include "rte/userint.h"

void ComOpen()
{
    if (OpenComConfig(settings.com_port, "", 9600, 0, 8, 1, 128, 24) == 0) {
        state.port_open = 1;
        SetComTime(settings.com_port, 0.6);
    } else {
        DisplayPanel(state.com_panel);
        SetCtrlVal(state.com_panel, kPortNumber, settings.com_port);
    }
}
