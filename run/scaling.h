// The y axis: fixed or autoscaled, linear or logarithmic, and the rule that
// keeps a logarithmic axis away from values that are not positive.
#pragma once

void log_auto();
int skalieren(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
