// Seams for tests at the edges of the engine: popups, the clock, and the
// operator's side of the panels.
// The program never includes this header.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace rte::testing {

// Answers for the next popups, taken in order; a popup finds its answer here
// instead of waiting for the operator while any are queued.
void queueConfirm(int answer);
void queueMessageAck();
void queueFileSelect(int result, const std::string &path);
// Popups shown so far, as "title|message" (file dialogs: "file|title", or
// "file|title|folder" when asked to open in a folder),
// in UTF-8 as the operator reads them.  A queued file choice is a UTF-8
// path, as the dialog gives it.
const std::vector<std::string> &popupLog();
void clearPopups();
// Number of queued answers not yet taken.
int pendingAnswers();

// Desktop notifications asked for since the last clearAlerts, as
// "title|message" in UTF-8, whether or not the desktop could show them.
const std::vector<std::string> &notifications();
// Alert sounds made since the last clearAlerts, and whether one repeats.
int alertSounds();
bool alertSounding();
void clearAlerts();

// Replaces the clock behind Timer and Delay: Timer returns the value the
// function returns; Delay advances nothing and returns at once.  nullptr
// restores the real clock.
void setClock(double (*now)());
// Replaces the wall clock behind GetUnixTime and GetIsoTime with seconds
// since 1970-01-01 UTC, so that a test can set it as an operator or a time
// server would.  nullptr restores the system's clock.
void setWallClock(double (*now)());

// Acting as the operator through the real widgets of loaded panels.
// The widget the operator works with; nullptr for the timer or no control.
QWidget *widget(int panel, int control);
// Clicks a button or toggles a switch.
void operate(int panel, int control);
// Gives the control the keyboard focus, selects its text and types; Enter
// at the end when `enter`.  The characters typed are given in UTF-8, as an
// operator types any of them whatever the control passes on.
void typeInto(int panel, int control, const char *text, bool enter = true);
// Moves the keyboard focus to the control, as Tab or a click would.
void focusControl(int panel, int control);
// Picks the item at `index` from a selector's list.
void selectItem(int panel, int control, int index);
void activateMenuItem(int menuBar, int item);
// Asks to close the panel's window, as its close button does.
void closePanel(int panel);
bool panelVisible(int panel);
// Processes events until cond() holds or the time is up; returns cond().
bool waitUntil(const std::function<bool()> &cond, double timeoutSeconds);
// Tick interval of a timer control in seconds; 0 for other controls.
double timerInterval(int panel, int control);

// The graph as the program sees it: its axes, whatever the operator looks at.
struct GraphAxis {
    double min, max;
    bool autoscale, logarithmic;
};
int plotCount(int panel, int control);        // plot handles alive
int drawnCurveCount(int panel, int control);  // curves drawn after merging
std::vector<std::pair<double, double>> plotPoints(int panel, int control, int plot);
// The handle of the plot added last; 0 before the first.
int lastPlot(int panel, int control);
GraphAxis graphAxis(int panel, int control, int axis);
// Off draws every plot as a curve of its own, as a naive graph would.
void setPlotMerging(int panel, int control, bool on);

// The graph as the operator sees it.  graphAxis gives the program's axes;
// the view differs from them while the operator looks around (zoomed or
// panned), and following is false then.
struct GraphView {
    double min, max;
    bool following;
};
GraphView graphView(int panel, int control, int axis);
// Where the point (t, y) is shown, in the graph widget's pixels (x, y).
std::pair<int, int> graphPixel(int panel, int control, double t, double y);
// The readout of the time and value under the pointer; empty while none
// shows.
std::string graphReadout(int panel, int control);

// The program's marks on the graph (AddGraphLevel and the others), in the
// order they were added, as the graph would draw them now: `shown` is false
// for a level beyond the y range shown.  Texts in Windows-1252.
enum class MarkKind { Level, Span, Marker, Note };
struct GraphMark {
    MarkKind kind;
    double t0, t1, y;  // a span's ends, a marker's time; y of levels and markers
    std::string text;  // a level's label, a marker's tooltip, a note
    int colour;
    bool shown;
};
std::vector<GraphMark> graphMarks(int panel, int control);
// The tooltip the graph shows when the pointer rests at pixel (x, y), as
// the toolkit asks for it; empty when it shows none.
std::string graphTooltip(int panel, int control, int x, int y);

// The outbox: many messages handed over in one synced commit instead of
// one each, to build a large backlog quickly (hold, add, release).  0, or
// negative when no outbox is open or the commit failed.
int holdOutboxCommits(bool hold);
// Waits at most `seconds` until every sender whose outbox was closed has
// ended (a close waits only briefly).  True when all have.
bool publishingEnded(double seconds);

}  // namespace rte::testing
