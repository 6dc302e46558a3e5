// A recording as CSV for a spreadsheet: RFC 4180 (comma, CR LF, a header
// row), UTF-8, one row per reading: the absolute time where the run's
// start is known (ISO 8601 with the offset the run started with), the
// elapsed seconds, the value and the unit, each number the shortest text
// that reads back as exactly the value the recording holds.
#pragma once

#include "summary/run_facts.h"
#include "summary/recording_pass.h"

struct CsvExport {
    PassEnd end;          // how the recording was read
    long long rows;       // readings written
    int written;          // 0, or the failure code of the file written
};

// Writes `out` whole or not at all: to a file beside it that is renamed
// over it at the end, so that a failure (a full disk) leaves what was there.
CsvExport export_csv(const RunFacts &facts, const char *out);
