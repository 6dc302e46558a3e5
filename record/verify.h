// A recording checked against the seal in its run file: whether its bytes
// are what the program wrote.
#pragma once

#include <string>

// The verdict's kinds, which are also `vandrel --verify`'s exit statuses
// (2 stays the command line's own: one the program does not take).
enum VerifyStatus {
    kVerifyIntact = 0,       // every byte as sealed, up to the run's last entry
    kVerifyChanged = 1,      // a sealed line differs, or the seal itself was edited
    kVerifyEndDiffers = 3,   // lines added after the run's last entry, or cut from the end
    kVerifyNoSeal = 4,       // no run file, none that reads, or no entry in it
    kVerifyUnended = 5,      // intact up to its last entry, but the run never wrote its end
    kVerifyUnreadable = 6,   // the recording cannot be read
};

struct Verdict {
    int status = kVerifyNoSeal;
    // The lines concerned, counted from 1: for a change, the first and the
    // last line of the minute that differs; for an end that differs or a
    // run that never ended, the last sealed line and the file's last.
    long long first_line = 0;
    long long last_line = 0;
    std::string text;  // one line for the operator, UTF-8
};

// Reads the recording and its run file once, from start to end.
Verdict verify_recording(const char *recording);

// `vandrel --verify FILE`: the verdict on standard output, as one line,
// and its status; a command line it does not take is said on standard
// error, with status 2.  Needs no window and reads no settings.
int verify_command(int argc, char **argv);
