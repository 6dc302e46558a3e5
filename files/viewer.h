// Drawing a stored .dat file on the graph.
#pragma once

void darstellen();
int oeffnen(int panel, int control, int event, void *callbackData, int eventData1,
            int eventData2);
