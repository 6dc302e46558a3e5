// The program's side for the GUI tests: a callback table under the
// program's names that records every call, and the real panels.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ui_test {

struct Call {
    std::string name;
    int handle;   // panel, or menu bar for menu callbacks
    int control;  // control, or menu item; 0 for panel callbacks
    int event;    // 0 for menu callbacks
    double value; // the control's value seen by a commit callback
    std::string text;
};

// Every callback call so far, in order.
std::vector<Call> &calls();
// Runs inside every callback, after the call is recorded.
extern std::function<void(const Call &)> onCall;
int count(const std::string &name, int event);
// The calls other than timer ticks, which come all the time.
std::vector<Call> withoutTicks();
// Forgets the calls and the hook.
void reset();

extern int mainPanel, comPanel, infoPanel, alarmPanel, publishingPanel, unattendedPanel, menuBar;

// Starts the engine with the recording table and loads the real panels.
void start(int &argc, char **argv);

}  // namespace ui_test
