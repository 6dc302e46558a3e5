// What the program knows of a run beside its readings: the quantity and its
// unit, the interval, the limits that judge it.  For the run going on they
// are the settings in force; for a stored recording the program has only
// the recording, and takes the quantity selected and the limits in force
// now, and finds the interval from the readings' steps.
#pragma once

#include "app/state.h"
#include "summary/statistics.h"

struct RunFacts {
    char recording[kPathSize];
    int quantity;          // 1 oxygen, 2 voltage, 3 temperature
    double interval;       // seconds; 0: found from the readings
    LimitWatch high, low;
    int running;           // 1: the run going on
};

// The run going on, or the last recording of this session: its recording.
void facts_of_run(RunFacts &facts);
void facts_of_recording(const char *recording, RunFacts &facts);

// "ppm", "mV", "°C" (UTF-8), and the quantity's name.
const char *unit_of(int quantity);
const char *quantity_name(int quantity);
