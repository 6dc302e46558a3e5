#include "app/settings_file.h"

#include "app/state.h"
#include "rte/formatio.h"
#include "rte/utility.h"

int settings_file_path(const char *name, char (&path)[kPathSize])
{
    char dir[kPathSize];
    if (GetSettingsDir(dir) != 0 || MakePathname(dir, name, path) != 0) {
        path[0] = '\0';
        return -1;
    }
    return 0;
}

int settings_path(char (&path)[kPathSize]) { return settings_file_path("vandrel.ini", path); }

int settings_file_create(const char *temp, char (&fresh)[kPathSize], int owner_only)
{
    if (settings_file_path(temp, fresh) != 0)
        return 0;
    if (owner_only)
        return CreatePrivateFile(fresh, kOpenText);
    return OpenFile(fresh, kOpenWrite, kOpenTruncate, kOpenText);
}

int settings_file_replace(int file, int written, const char *fresh, const char *name)
{
    char path[kPathSize];
    CloseFile(file);
    if (written < 0 || settings_file_path(name, path) != 0)
        return -1;
    return RenameFile(fresh, path);
}

void settings_load()
{
    char path[kPathSize];
    int file = settings_path(path) == 0 ? OpenFile(path, kOpenRead, kOpenTruncate, kOpenText) : 0;
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

int settings_save()
{
    char fresh[kPathSize];
    const int file = settings_file_create("vandrel.new", fresh);
    if (file <= 0)
        return -1;
    const int written = FmtFile(file, " %d %f %d %d %d %f %f  Kv_2014\n", settings.com_port,
                                settings.interval, settings.autoscale, settings.mode,
                                settings.log_scale, settings.y_min, settings.y_max);
    return settings_file_replace(file, written, fresh, "vandrel.ini") == 0 ? 0 : -1;
}
