// Reading the program's own key=value settings files line by line.
#pragma once

#include <cstddef>

#include "rte/formatio.h"

// One line without its end; false at the end of the file or on a handle
// not open for reading.  Bytes beyond the target are passed over.
template <std::size_t N>
bool settings_line(int file, char (&line)[N])
{
    return ReadLine(file, line) >= 0;
}
