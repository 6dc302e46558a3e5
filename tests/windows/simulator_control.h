// The simulated analyser on the Linux side, as the Windows tests see it: the
// script that runs them under wine names its COM port, its control file and
// its status file in VANDREL_SIM_PORT, VANDREL_SIM_CONTROL and
// VANDREL_SIM_STATUS.
#pragma once

#include <string>

namespace wintest {

// The COM port number that reaches the simulator; 0 when none is named.
int simPort();
// A line of the status file ("mode", "link", "generation", "queries",
// "finished"); empty when it is not there.
std::string statusValue(const std::string &key);
// Waits, with a generous limit, until the status says so; false if never.
bool waitForStatus(const std::string &key, const std::string &value);
// Switches the simulator's mode and waits until it has: true once it has.
bool setMode(const std::string &mode);

}  // namespace wintest
