// The switch that resumes a run after a restart (run/resume.h), and the mark
// of a run going on that tells the next start to resume it.
//
// Both live in "vandrel-resume.ini" beside vandrel.ini, replaced whole on
// each change:
//   resume=1            the switch
//   running=1           a run is going on
//   alive=1765382703.1  its last sign of life, seconds since 1970 (UTC)
//   file=/data/run.dat  the recording named at Start; empty for none
#pragma once

#include "app/state.h"

struct Resume {
    int on;
    int running;
    double alive;
    char file[kPathSize];
};

extern Resume resume;

// How often a run going on renews its sign of life, in seconds: the gap
// said on resuming is at most this (and one interval) too long.
constexpr double kAliveEvery = 10.0;

// 0 when the file was read or is missing (the switch off); negative when
// it cannot be read or has no place.
int resume_load();
// 0 when the file now holds `resume`.  Where it cannot be written (a full
// disk) and no run is going on, the old file is removed, since removing
// takes no room and a missing file marks no run: then 0 with the switch
// off, which a missing file means too, kResumeSwitchLost with it on, which
// holds only here until the program ends.  Negative otherwise.
enum { kResumeSwitchLost = 1 };
int resume_save();

// A run starts (the recording named, or empty), renews its sign of life
// with each cycle, and ends by Stop, a failed port change or the closed
// window.  Nothing is written while the switch is off.  The start says
// whether the mark could be kept (0).  The end is for good even on a full
// disk, and a popup says when the switch is not saved (or that the file
// could be neither written nor removed, and the next start resumes the run).
int resume_run_started(const char *file);
void resume_alive();
void resume_run_ended();

// The first of "<stem>-2<ext>", "<stem>-3<ext>", ... that names no file,
// beside `old`; 0, or negative when none fits the path limit.
int next_free_name(const char *old, char (&fresh)[kPathSize]);
