// The program over the real engine, offscreen, driven as the operator and
// its timer drive it: shared by the reliability tests, their recorder child
// and the soak run.
#pragma once

#include <string>

namespace reliability {

// The port number that reaches the simulated analyser.
constexpr int kAnalyserPort = 7;

// Starts the engine offscreen and loads the program's three panels into the
// program's state, as its main does.  Once per process.
void loadProgram(int &argc, char **argv);

// A fresh program state on the loaded panels, the default settings with
// `interval`, and the analyser's port, behind `link`, opened as at start-up.
// False when the port does not open.
bool connectAnalyser(const std::string &link, double interval);

// Presses Start and names `path`, a file that does not exist yet, in the
// file dialog.  The run's first cycle is taken at once.  False unless the run
// is active and recording.
bool startRecordedRun(const std::string &path);

// The same, with the clock held: from here on Timer returns the time of the
// latest tickAt (0 for the first cycle) and Delay returns at once, and only
// tickAt starts cycles (the timer control's own ticks are put a day apart).
bool startRecordedRunOnHeldClock(const std::string &path);
// The timer's tick at clock time t: one cycle, then the events that come
// due meanwhile (repaints, the serial service's own timers), as the event
// loop processes them before the next tick.
void tickAt(double t);

// The text a main-panel control shows.
std::string controlText(int control);
// The time of the newest point drawn on the graph; -1 while none is.
double newestDrawnTime();

}  // namespace reliability
