// Choosing another serial port on the port panel.
#pragma once

void comport(int menuBar, int menuItem, void *callbackData, int panel);
int comok(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
