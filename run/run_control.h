// Starting and stopping a run, and how the main panel shows the run state.
#pragma once

int m_run(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int m_stop(int panel, int control, int event, void *callbackData, int eventData1,
           int eventData2);
void faerben(int running);
