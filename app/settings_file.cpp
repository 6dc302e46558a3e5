#include "app/settings_file.h"

#include "app/state.h"
#include "rte/formatio.h"
#include "rte/utility.h"

void settings_path(char (&path)[kPathSize])
{
    char dir[kPathSize];
    GetSettingsDir(dir);
    MakePathname(dir, "vandrel.ini", path);
}

void settings_load()
{
    char path[kPathSize];
    settings_path(path);
    int file = OpenFile(path, kOpenRead, kOpenTruncate, kOpenText);
    int filled = 0;
    if (file > 0)
        filled = ScanFile(file, "%s>%d%f%d%d%d%f%f", settings.com_port, settings.interval,
                          settings.autoscale, settings.mode, settings.log_scale,
                          settings.y_min, settings.y_max);
    // An incomplete file contributes nothing: half a configuration is worse
    // than the defaults.
    if (file <= 0 || filled < 7) {
        settings.com_port = 1;
        settings.interval = 1.0;
        settings.autoscale = 1;
        settings.mode = 1;
        settings.log_scale = 0;
        settings.y_min = 0.0;
        settings.y_max = 10.0;
    }
    if (file > 0)
        CloseFile(file);
}

void settings_save()
{
    char path[kPathSize];
    char fresh[kPathSize];
    settings_path(path);
    Fmt(fresh, "%s.new", path);
    // Written beside the old file and renamed over it, so that a program
    // killed while saving leaves the old settings, never half a line.
    int file = OpenFile(fresh, kOpenWrite, kOpenTruncate, kOpenText);
    if (file <= 0)
        return;
    const int written = FmtFile(file, " %d %f %d %d %d %f %f  Kv_2014\n", settings.com_port,
                                settings.interval, settings.autoscale, settings.mode,
                                settings.log_scale, settings.y_min, settings.y_max);
    CloseFile(file);
    if (written >= 0)
        RenameFile(fresh, path);
}
