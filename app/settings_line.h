// Reading the program's own key=value settings files line by line.
#pragma once

#include <cstddef>

#include "rte/formatio.h"

// One line without its end; false at the end of the file.  Bytes beyond
// the target are passed over.
template <std::size_t N>
bool settings_line(int file, char (&line)[N])
{
    std::size_t n = 0;
    int c = 0;
    bool any = false;
    while (ScanFile(file, "%c", c) == 1) {
        any = true;
        if (c == '\n')
            break;
        if (c != '\r' && n < N - 1)
            line[n++] = static_cast<char>(c);
    }
    line[n] = '\0';
    return any;
}
