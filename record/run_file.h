// The run file: what a recording does not say about its run, in plain
// UTF-8 text beside it ("run.dat" -> "run.info"), written and synced before
// the first reading.  A run without a recording gets one in the settings
// folder ("vandrel-run-2026-12-10T172503.info").  Each line is "key=value";
// the seal's entries (record/seal.h) follow the fields, one line each, as
// the run goes on.  README "A run's record" describes every key.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/state.h"
#include "record/seal.h"

struct RunInfo {
    int format = 0;                // the run file's own version, 1
    std::string start_utc;         // "2026-12-10T16:25:03.120Z"
    std::string start_local;       // the same moment in local time, with its offset
    std::string utc_offset;        // "+01:00", "+05:45", "-03:30"
    std::string zone;              // "Europe/Berlin"; on Windows its own name for the zone
    std::string quantity;          // "oxygen", "voltage", "temperature"
    std::string unit;              // "ppm", "mV", "°C"
    double interval = 0;           // seconds between readings
    int port = 0;                  // the port number
    std::string device;            // the device that number reaches
    std::string computer;
    std::string user;
    std::string version;           // the program's version, "3.0"
    // The alarm limits in force at the start: whether each is on, its value
    // (NaN when off) and the readings in a row before it counts.
    bool low_on = false, high_on = false;
    double low = 0, high = 0;
    int delay = 1;
    std::string recording;         // the recording's path as the program wrote it; empty for none
    std::string resumed_from;      // a resumed run: the recording of the run it continues
    double resume_gap = 0;         // and the seconds between the two
    // The seal as it stands in the file.
    long long seal_entries = 0;
    SealEntry last_seal;           // the last entry; empty when there is none
    bool ended = false;            // the last entry is "end": the run was stopped
};

enum RunFileRead {
    kRunFileRead = 0,
    kRunFileMissing = -1,  // no such file, or not to be opened
    kRunFileDamaged = -2,  // not a run file, or a field or seal line that does not read
};

// Reads a run file.  Unknown keys are passed over (later versions may add
// some); a hostile file of any size or content gives kRunFileDamaged at
// worst, in time proportional to its size.
int read_run_file(const char *path, RunInfo &info);

// The run file of a recording: its name with ".info" in place of its
// extension, by the event file's rules.  Negative when that does not fit.
int run_file_beside(const char *recording, char (&path)[kPathSize]);

// The quantity the run measures, by name, and its unit (UTF-8).
const char *measured_quantity(const char **unit = nullptr);

// Writes the run file of the run that starts now, for the recording
// state.log_path when state.recording is on, synced, and begins the
// recording's seal in it; resumed_from names the recording of a run that
// this one resumes after resume_gap seconds ("" for none).  0, and the
// file's path; negative when it cannot be written (the run goes on without
// it).
int run_file_start(const char *resumed_from, double resume_gap, char (&path)[kPathSize]);

// The lines of an open run file as they come, split at their first '='
// into key and value (as written, escapes and all) for take, which
// returns false for a line that does not read.  kRunFileRead, or
// kRunFileDamaged for a line that is not a field or that take refused.
int read_run_lines(int file, const std::function<bool(std::string_view, std::string_view)> &take);
