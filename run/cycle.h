// The measurement cycle: one reading carried to the display, the history,
// the graph and the recording file.
#pragma once

void plotten();
int timer2(int panel, int control, int event, void *callbackData, int eventData1,
           int eventData2);
