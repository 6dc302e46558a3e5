// The "Unattended" panel: resuming a run after a restart, and starting the
// program with the user's session.  A switch applies at once; the panel
// says where each is kept and when it could not be.
#pragma once

extern int unattended_panel;

void unattended_menu(int menuBar, int menuItem, void *callbackData, int panel);
int unattended_switch(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
int unattended_close(int panel, int event, void *callbackData, int eventData1, int eventData2);
