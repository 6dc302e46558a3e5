// Where the run's record goes on from: the run file written at the start,
// and each of the seal's entries written to it and handed to the outbox.
#pragma once

// Writes the run file before the first reading; resumed_from names the
// recording of the run this one resumes ("" for none).  A run file that
// cannot be written is said on the panel, and the run goes on.
void run_record_start(const char *resumed_from, double resume_gap);
// The cycle's hand-over, after the recording line: a minute's entry when
// one is due.
void seal_minute();
// The run's end: the seal's last entry, then the recording closed.
void close_recording();
