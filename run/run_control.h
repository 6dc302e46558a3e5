// Starting and stopping a run, and how the main panel shows the run state.
#pragma once

int m_run(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int m_stop(int panel, int control, int event, void *callbackData, int eventData1,
           int eventData2);
// The run's start once the port is open and the recording settled: the
// graph cleared, the run file written, the clock started, the first
// reading taken.  resumed_from names the recording of the run this one
// resumes after resume_gap seconds ("" for a run the operator started).
void begin_run(const char *resumed_from, double resume_gap);
// The run's end (Stop, or a port change that failed): an alarm in force
// ends in its event file before the recording closes.
void end_run();
void faerben(int running);
