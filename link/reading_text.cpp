#include "link/reading_text.h"

#include "alarm/alarm_chart.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/userint.h"

void messwert()
{
    // Fewer digits as the value grows keeps the text the same width; a value
    // that is not a number fails every test and gets none.
    int digits = 0;
    if (state.reading < 1)
        digits = 3;
    else if (state.reading < 10)
        digits = 2;
    else if (state.reading < 100)
        digits = 1;

    // First the value's format is built (37 is the percent sign), then the
    // value is written with it.
    char format[32];
    if (settings.mode == 3)
        Fmt(format, " %cf[p1w10] \xB0" "C    ", 37);
    else if (settings.mode == 2)
        Fmt(format, " %cf[p1w10] mV    ", 37);
    else if (settings.mode == 1 && state.reading < 0.1)
        Fmt(format, " %cf[e2w10] ppm O2", 37);
    else if (settings.mode == 1)
        Fmt(format, " %cf[p%dw10] ppm O2", 37, digits);
    else
        Fmt(format, " 0.0    ");
    Fmt(state.reading_text, RuntimeFormat(format), state.reading);
}

int setzewas(int, int, int event, void *, int, int)
{
    if (event == kEventCommit) {
        GetCtrlVal(state.main_panel, kMainQuantity, settings.mode);
        chart_limits();
        state.reading = 0.0;
        messwert();
        SetCtrlVal(state.main_panel, kMainReading, state.reading_text);
    }
    return 0;
}
