// The "Publishing" panel: the publishing settings and what the operator
// should know about publishing, never a popup.
#pragma once

void publishing_menu(int menuBar, int menuItem, void *callbackData, int panel);
int publish_apply(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int publish_close(int panel, int event, void *callbackData, int eventData1, int eventData2);
// The panel's timer: the condition, as it changes, while the panel is shown.
int publish_tick(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// The panel's handle once it has been shown, 0 before.
int publish_panel();
