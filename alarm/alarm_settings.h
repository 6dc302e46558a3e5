// The alarm limits, kept in "vandrel-alarms.ini" beside vandrel.ini: for
// each quantity a low and a high limit, each on or off, and how many
// readings in a row must lie beyond one before it counts; and the alarm for
// an analyser that does not answer for a number of cycles.
#pragma once

#include "app/state.h"

struct Limits {
    int low_on;
    double low;
    int high_on;
    double high;
    int delay;  // readings in a row, at least 1
};

struct AlarmSettings {
    Limits limits[3];  // by quantity: oxygen, voltage, temperature
    int silence_on;
    int silence_cycles;
};

extern AlarmSettings alarm_settings;

enum AlarmFileState { kAlarmFileRead = 0, kAlarmFileMissing = -1, kAlarmFileDamaged = -2, kAlarmFileNoPlace = -3 };

// 0 and the file's path; negative and an empty path where the settings
// folder cannot be used or the path does not fit.
int alarm_settings_path(char (&path)[kPathSize]);
// Reads the file into alarm_settings; anything but kAlarmFileRead leaves no
// limit on.
int alarm_settings_load();
// 0 when the file now holds alarm_settings.
int alarm_settings_save();
// What is wrong with the settings, for the operator; nullptr when nothing.
const char *alarm_settings_fault(const AlarmSettings &a);
