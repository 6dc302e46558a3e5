// A recording file read back byte for byte: every line must be one that the
// recording writes whole, " %f[p1]\t%f[e2] \n" of the elapsed time and the
// reading (the line end CR LF on Windows, where the file is a text file).
#pragma once

#include <string>
#include <vector>

namespace reliability {

struct RecordedLine {
    double time;
    double value;
};

struct Recording {
    std::vector<RecordedLine> lines;  // the complete lines, in file order
    // Empty when every byte of the file belongs to a complete line;
    // otherwise which line is not, and what it holds.
    std::string fault;
};

Recording readRecording(const std::string &path);

}  // namespace reliability
