// "Another analyser...": lists the analysers (profiles) this computer has
// and starts the program for one of them, or for a new name, in a window
// of its own.
#pragma once

// The panel from the menu of a running analyser.
void another_menu(int menuBar, int menuItem, void *callbackData, int panel);
// The panel alone, for a start that only chooses ("--another", the desktop
// entry's action): the program ends once an analyser is started or the
// panel is closed.
void another_alone();
int another_start(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int another_close(int panel, int event, void *callbackData, int eventData1, int eventData2);
