#include "alarm/alarm_settings.h"

#include "app/settings_file.h"

#include <cmath>

#include "rte/formatio.h"
#include "rte/utility.h"

static const AlarmSettings kNoLimits = {
    {{0, 0.0, 0, 0.0, 1}, {0, 0.0, 0, 0.0, 1}, {0, 0.0, 0, 0.0, 1}}, 0, 3};

// No limits until the file is read: a cycle before that (or a program
// that never reads it) raises nothing.
AlarmSettings alarm_settings = kNoLimits;

int alarm_settings_path(char (&path)[kPathSize]) { return settings_file_path("vandrel-alarms.ini", path); }

const char *alarm_settings_fault(const AlarmSettings &a)
{
    static const char *const kWrongWay[3] = {
        "The low oxygen limit must be below the high one.",
        "The low voltage limit must be below the high one.",
        "The low temperature limit must be below the high one.",
    };
    for (int q = 0; q < 3; ++q) {
        const Limits &l = a.limits[q];
        if (!std::isfinite(l.low) || !std::isfinite(l.high) || l.delay < 1 || l.delay > 1000 ||
            (l.low_on != 0 && l.low_on != 1) || (l.high_on != 0 && l.high_on != 1))
            return "A limit or a delay is not a valid number.";
        if (l.low_on && l.high_on && !(l.low < l.high))
            return kWrongWay[q];
    }
    if ((a.silence_on != 0 && a.silence_on != 1) || a.silence_cycles < 1 || a.silence_cycles > 1000)
        return "The number of cycles without an answer is not valid.";
    return nullptr;
}

int alarm_settings_load()
{
    alarm_settings = kNoLimits;
    char path[kPathSize];
    if (alarm_settings_path(path) != 0)
        return kAlarmFileNoPlace;
    const int file = OpenFile(path, kOpenRead, kOpenKeep, kOpenText);
    if (file <= 0)
        return kAlarmFileMissing;
    AlarmSettings read = kNoLimits;
    Limits &o = read.limits[0], &v = read.limits[1], &t = read.limits[2];
    const int filled = ScanFile(file,
                                "%s>vandrel-alarms 1 oxygen %d %f %d %f %d voltage %d %f %d %f %d "
                                "temperature %d %f %d %f %d no-answer %d %d",
                                o.low_on, o.low, o.high_on, o.high, o.delay, v.low_on, v.low, v.high_on,
                                v.high, v.delay, t.low_on, t.low, t.high_on, t.high, t.delay,
                                read.silence_on, read.silence_cycles);
    CloseFile(file);
    // Half a set of limits could leave a quantity unguarded without anyone
    // knowing: all or none.
    if (filled < 17 || alarm_settings_fault(read) != nullptr)
        return kAlarmFileDamaged;
    alarm_settings = read;
    return kAlarmFileRead;
}

int alarm_settings_save()
{
    char fresh[kPathSize];
    const int file = settings_file_create("vandrel-alarms.new", fresh);
    if (file <= 0)
        return -1;
    // Each limit as the fewest digits that read back as itself: two limits
    // apart by less than a millionth stay apart.
    const AlarmSettings &a = alarm_settings;
    const Limits &o = a.limits[0], &v = a.limits[1], &t = a.limits[2];
    const int written =
        FmtFile(file,
                "vandrel-alarms 1\noxygen %d %f[r] %d %f[r] %d\nvoltage %d %f[r] %d %f[r] %d\n"
                "temperature %d %f[r] %d %f[r] %d\nno-answer %d %d\n",
                o.low_on, o.low, o.high_on, o.high, o.delay, v.low_on, v.low, v.high_on, v.high,
                v.delay, t.low_on, t.low, t.high_on, t.high, t.delay, a.silence_on, a.silence_cycles);
    return settings_file_replace(file, written, fresh, "vandrel-alarms.ini") == 0 ? 0 : -1;
}
