// Reading the program's own key=value settings files line by line.
#pragma once

#include <cstddef>
#include <cstring>

#include "rte/formatio.h"

// The next "key=value" line, split at its first '=': false at the end of
// the file or on a handle not open for reading.  Lines without '=' are
// passed over, and bytes beyond the target.
template <std::size_t N>
bool settings_pair(int file, char (&line)[N], const char *&key, const char *&value)
{
    while (ReadLine(file, line) >= 0) {
        char *eq = std::strchr(line, '=');
        if (eq == nullptr)
            continue;
        *eq = '\0';
        key = line;
        value = eq + 1;
        return true;
    }
    return false;
}
