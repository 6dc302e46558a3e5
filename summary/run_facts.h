// What the program knows of a run beside its readings: the quantity and its
// unit, the interval, the limits that judge it, its start.  A recording
// with its run file beside it ("run.info") has them from there, the limits
// those in force when it started; the run going on is judged by the limits
// in force now.  A recording without one has only its readings: the
// program takes the quantity selected and the limits in force now, finds
// the interval from the readings' steps, and knows no start.
#pragma once

#include <limits>

#include "app/state.h"
#include "summary/statistics.h"

struct RunFacts {
    char recording[kPathSize];
    int quantity;          // 1 oxygen, 2 voltage, 3 temperature
    double interval;       // seconds; 0: found from the readings
    LimitWatch high, low;
    int running;           // 1: the run going on
    int run_file;          // 1: the run file beside the recording was read
    double start = std::numeric_limits<double>::quiet_NaN();  // seconds since 1970 (UTC) of the run's start
    int offset;            // minutes east of UTC at the start
};

// The run going on, or the last recording of this session: its recording.
void facts_of_run(RunFacts &facts);
void facts_of_recording(const char *recording, RunFacts &facts);

// "ppm", "mV", "°C" (UTF-8), and the quantity's name.
const char *unit_of(int quantity);
const char *quantity_name(int quantity);
