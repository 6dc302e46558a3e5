// The display text of the latest reading, by quantity and magnitude.
#pragma once

void messwert();
int setzewas(int panel, int control, int event, void *callbackData, int eventData1,
             int eventData2);
