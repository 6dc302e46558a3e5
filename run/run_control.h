// Starting and stopping a run, and how the main panel shows the run state.
#pragma once

int m_run(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int m_stop(int panel, int control, int event, void *callbackData, int eventData1,
           int eventData2);
// The run's start once the port is open and the recording settled: the
// graph cleared, the clock started, the first reading taken.
void lauf_beginnen();
void faerben(int running);
