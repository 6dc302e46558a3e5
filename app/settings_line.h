// Reading the program's own key=value settings files.
#pragma once

#include <cstring>

#include "app/settings_file.h"
#include "rte/formatio.h"

// Hands each "key=value" line of the settings file `name` to
// take(key, value), split at its first '='; lines without '=' are passed
// over, and bytes beyond a line of kPathSize + 16.  0, also when there is no
// such file yet; -1 when the settings folder has no place or the file
// cannot be read.  With make_private the file is made the user's own before
// it is read: one of an earlier version on Windows took its access from the
// folder's, which may let others read it.
template <typename Take>
int settings_pairs_read(const char *name, bool make_private, Take take)
{
    char path[kPathSize];
    if (settings_file_path(name, path) != 0)
        return -1;
    long long size = 0;
    if (GetFileInfo(path, size) == 0)
        return 0;
    if (make_private)
        MakeFilePrivate(path);
    const int file = OpenFile(path, kOpenRead, kOpenKeep, kOpenText);
    if (file <= 0)
        return -1;
    char line[kPathSize + 16];
    while (ReadLine(file, line) >= 0) {
        char *eq = std::strchr(line, '=');
        if (eq == nullptr)
            continue;
        *eq = '\0';
        take(static_cast<const char *>(line), static_cast<const char *>(eq + 1));
    }
    CloseFile(file);
    return 0;
}
