// One pass over a recording (".dat": elapsed seconds and the value on each
// line), with the reader the viewer draws with, handing each reading on as
// it is read: nothing of the file is kept.
#pragma once

#include "rte/formatio.h"

struct PassEnd {
    int opened;           // the handle's failure code (negative), or 1
    long long lines_left; // lines after the first text that is not a reading
};

// Calls each(elapsed, value) for every reading; stops at the first text
// that is not a pair of numbers (a line cut short, garbage, a number too long
// for the reader), whose line and the ones after it are counted, not read.
template <typename Each>
PassEnd read_recording(const char *path, Each &&each)
{
    PassEnd end = {1, 0};
    const int file = OpenFile(path, kOpenRead, kOpenKeep, kOpenText);
    if (file <= 0) {
        end.opened = file;
        return end;
    }
    double t = 0, v = 0;
    int read;
    while ((read = ScanFile(file, "%f %f", t, v)) == 2)
        each(t, v);
    // The scan stopped at the end of the file, or before the text it could
    // not read, which may begin the next line: that line and the ones after
    // it are left, and so is a last line cut after its time.
    char rest[64];
    const int tail = ReadLine(file, rest);
    if (tail == kFileEnd) {
        end.lines_left = read == 1 ? 1 : 0;
    } else {
        bool blank = tail < static_cast<int>(sizeof rest);
        for (int i = 0; blank && i < tail; ++i)
            blank = rest[i] == ' ' || rest[i] == '\t' || rest[i] == '\r' || rest[i] == '\v' || rest[i] == '\f';
        end.lines_left = (blank ? 0 : 1) + CountLinesLeft(file);
    }
    CloseFile(file);
    return end;
}
