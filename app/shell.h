// Start-up, the end of the program, and the commands of the main panel that
// belong to no measurement.
#pragma once

void laden();
void setup();
void settings_zeigen();
void enden();

int endSC(int panel, int event, void *callbackData, int eventData1, int eventData2);
void stripch(int menuBar, int menuItem, void *callbackData, int panel);
int velto(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int velto_end(int panel, int event, void *callbackData, int eventData1, int eventData2);
