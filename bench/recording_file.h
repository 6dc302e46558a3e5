// A recording file of a given size, as the recording format writes it
// (" %f[p1]\t%f[e2] \n"): times increasing by about a second from 10^6 s, so
// that every line of a file twice as large costs what a line of this one
// does, and values varying over ten decades.  For the benchmarks that read
// recordings.
#pragma once

#include <string>

namespace bench {

// Writes the file, replacing any there; ends the program when it cannot.
void writeRecording(const std::string &path, long long size);

// A size as the benchmarks take it on their command lines: bytes, or with
// K, M or G after the number (binary units; "1.5G" too).
long long parseSize(const char *text);

}  // namespace bench
