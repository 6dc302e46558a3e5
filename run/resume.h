// Resuming a run after a restart.  Off unless the operator switches it on:
// then a run that was going on when the program last ended without Stop or
// a closed window (a power cut, a crash, a restart of the computer) starts
// again at the next start of the program, recording to the next free name
// beside its recording ("run.dat" -> "run-2.dat", "run-3.dat", ...), and its
// event file says "resumed" with the gap in seconds.  The switch and the
// mark are run/resume_mark.h's.
#pragma once

// Start-up, once the port has been tried: the run resumes when it should.
void resume_at_start();
