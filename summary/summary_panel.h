// The Summary panel ("Summary..." in the Recording menu) and the menu's
// export and report: the run going on, the stored recording on the graph,
// or one the operator chooses.
#pragma once

// The panel's handle once it is loaded (the first "Summary..."), else 0.
extern int summary_panel;

void summary_menu(int menuBar, int menuItem, void *callbackData, int panel);
void export_menu(int menuBar, int menuItem, void *callbackData, int panel);
void report_menu(int menuBar, int menuItem, void *callbackData, int panel);
int summary_other(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int summary_export(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int summary_report(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int summary_close(int panel, int event, void *callbackData, int eventData1, int eventData2);
