// Panels, controls, the graph, popups, the timer control and the event loop.
//
// Panels come from a panel file (a JSON text; rte/ui/panel_file.h describes
// its keys).  Panel, menu-bar and plot handles are positive; the calls
// return 0 (or a handle) on success and a negative code on failure:
//   kUiBadHandle     no panel, control, menu item or plot with that number
//   kUiBadArgument   a value of the wrong kind for the control or attribute
//   kUiBadPanelFile  the panel file is missing or damaged
// Text crossing this interface is Windows-1252 (the degree sign is 0xB0),
// except paths, which are UTF-8 so that a file name in any language is the
// file the operator chose: the folder, file and type list given to
// FileSelectPopup and the path it returns, the text of PathMessagePopup,
// and the text of a display or text control that the panel file declares
// "utf8" (a path, or a text that goes on to a protocol that takes UTF-8;
// read back cut short, it is cut before a whole character).  Where a path
// meets the operating system it becomes the system's own form (the bytes
// of the file system on Linux) there and nowhere else.
//
// Entries commit on Enter and when the focus leaves them after a change;
// switches, selectors and buttons commit when operated; values set by the
// program never commit.  A close request (the window's close button) closes
// nothing by itself: the panel callback gets kEventClose, and a panel
// without one hides.  Callbacks run one at a time on the thread of the event
// loop: a timer tick that falls due while a callback runs or a popup is open
// is dropped, a commit waits until the running callback has returned.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <type_traits>

enum {
    kUiBadHandle = -1,
    kUiBadArgument = -2,
    kUiBadPanelFile = -3,
};

// Events passed to callbacks.
enum Event { kEventCommit = 1, kEventClose = 11, kEventTick = 15 };

// Attributes (SetCtrlAttribute; kAttrDimmed also SetMenuBarAttribute).
enum Attribute {
    kAttrDimmed = 500,            // int 0/1; any control but the timer
    kAttrTextColour = 510,        // int 0xRRGGBB; displays: their writing
    kAttrVisible = 530,           // int 0/1; any control but the timer: a
                                  // hidden control takes no room on its panel
    kAttrColour = 880,            // int 0xRRGGBB; buttons: their face
    kAttrYMapping = 1096,         // graph: kMappingLinear or kMappingLog
    kAttrYLabelFormat = 1097,     // graph: kPlainLabels or kScientificLabels
    kAttrTimeLabelForm = 1142,    // graph: kTimeSeconds or kTimeMinutes
    kAttrTimeLabelDigits = 1143,  // graph: digits after the point on the time axis
    kAttrGrid = 1146,             // graph: grid lines shown (0/1)
    kAttrRefreshAtOnce = 1149,    // graph: redraw at once after each plot call (0/1)
    kAttrInterval = 1270,         // timer: tick interval in seconds (double); a
                                  // value that is not positive is refused and
                                  // the timer keeps the interval it has
};

// Panel attributes (SetPanelAttribute, GetPanelAttribute).
enum PanelAttribute {
    kAttrTitle = 1600,  // text: the window's title, Windows-1252 as captions are
};

// Values of the graph attributes.
enum { kMappingLinear = 0, kMappingLog = 1 };
enum { kPlainLabels = 0xFFF0, kScientificLabels = 0xFFF1 };
enum { kTimeSeconds = 0, kTimeMinutes = 1 };  // minutes:seconds

// Colours for button faces and plots, 0xRRGGBB.
enum Colour {
    kColourGreen = 0x008000,
    kColourGrey = 0xA0A0A0,
    kColourDarkRed = 0x800000,
    kColourNavy = 0x000080,
    kColourBlue = 0x0000FF,
    kColourRed = 0xFF0000,
    kColourOrange = 0xE07000,
    kColourDesktop = -1,  // kAttrTextColour: the desktop's own colour again
};

using CtrlCallbackPtr = int (*)(int panel, int control, int event, void *callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void *callbackData, int eventData1,
                                 int eventData2);
using MenuCallbackPtr = void (*)(int menuBar, int menuItem, void *callbackData, int panel);

// One entry of the table that binds the names in the panel file to the
// program's routines.
struct CallbackBinding {
    const char *name;
    CtrlCallbackPtr control = nullptr;
    PanelCallbackPtr panel = nullptr;
    MenuCallbackPtr menu = nullptr;
    CallbackBinding(const char *n, CtrlCallbackPtr f) : name(n), control(f) {}
    CallbackBinding(const char *n, PanelCallbackPtr f) : name(n), panel(f) {}
    CallbackBinding(const char *n, MenuCallbackPtr f) : name(n), menu(f) {}
};

// The engine's start-up: creates the application with the command line and
// records the program's callbacks.  Call once, before anything else here.
void StartUserInterface(int &argc, char **argv, std::initializer_list<CallbackBinding> callbacks);

// Loads panel `resource` of `file` (a bare name is looked up in the
// program's directory) as a hidden top-level window; parent must be 0.  A missing or damaged file, or one that names a
// callback the program does not have, ends the process: the fault and the
// file are reported (on standard error, and in a message box when there is
// a display) and the exit status is 3.
int LoadPanel(int parent, const char *file, int resource);
int GetPanelMenuBar(int panel);
int DisplayPanel(int panel);
int HidePanel(int panel);

// Says why the program does not start, or what its start did instead: on
// standard error, and in a message box that the operator closes where
// there is a screen to show it on.  Texts are UTF-8.
void StartUpMessage(const char *title, const char *message);
// Starts the running executable once more, with these arguments (UTF-8),
// as a process of its own that outlives this one.  0, or negative when the
// system does not start it.
int StartProgramCopy(const char *const *arguments, int count);

// Runs the event loop until ExitProgram; then releases every panel and the
// toolkit and ends the process with the status given there.
int RunUserInterface();
// Ends the program with the status: returns to the caller, and the event
// loop ends as soon as the running callback returns.
void ExitProgram(int status);

// Numbers set into an entry are held to its range; int and double values
// convert into each other (toward zero).  Text read back is cut to fit the
// target, terminator included.
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *value);
int GetCtrlVal(int panel, int control, int &value);
int GetCtrlVal(int panel, int control, double &value);
namespace rte::ui {
int getCtrlText(int panel, int control, char *value, std::size_t capacity);
int fileSelect(const char *defaultDirectory, const char *defaultFileSpec,
               const char *fileTypeList, const char *title, int buttonLabel,
               int restrictDirectory, int restrictExtension, int allowCancel,
               int allowMakeDirectory, char *path, std::size_t capacity);
int plotXY(int panel, int control, const void *x, const void *y, int count, int xType,
           int yType, int plotStyle, int pointStyle, int lineStyle, int pointFrequency,
           int colour);
}  // namespace rte::ui
template <std::size_t N>
int GetCtrlVal(int panel, int control, char (&value)[N])
{
    return rte::ui::getCtrlText(panel, control, value, N);
}

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetMenuBarAttribute(int menuBar, int menuItem, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const char *value);
namespace rte::ui {
int getPanelText(int panel, int attribute, char *value, std::size_t capacity);
}
// Text read back is cut to fit the target, terminator included.
template <std::size_t N>
int GetPanelAttribute(int panel, int attribute, char (&value)[N])
{
    return rte::ui::getPanelText(panel, attribute, value, N);
}

// Alerts for an operator who is not looking at the panels.  Neither is
// modal and neither holds up the event loop or the program.
// A message in the desktop's notification area (the system tray): 0 when
// it is shown; kUiBadArgument, quietly, on a desktop without one, where the
// panels must show what it says.
int NotifyDesktop(const char *title, const char *message);
// Sounds the desktop's alert at once and again every `period` seconds until
// StopAlertSound (a second start only sets the period).  kUiBadArgument for
// a period that is not positive.
int StartAlertSound(double period);
int StopAlertSound();

// 1 shows the busy cursor over every panel until 0 (for work that blocks
// the event loop for a noticeable time); returns the previous state.
int SetWaitCursor(int on);

// Popups are modal; no timer tick is delivered while one is open.
int MessagePopup(const char *title, const char *message);
// A message that names a file: title and message are UTF-8, as paths are.
int PathMessagePopup(const char *title, const char *message);
// 1 for yes, 0 for no.
int ConfirmPopup(const char *title, const char *message);
// What FileSelectPopup returns when it does not fail (failures are negative).
enum FileSelection { kSelectionCancelled = 0, kSelectionExisting = 1, kSelectionNew = 2 };
// The caption of the dialog's accepting button.
enum ButtonLabel { kLabelOk = 0, kLabelSave = 1, kLabelSelect = 2, kLabelLoad = 3 };
// A FileSelection or a failure.  A path whose UTF-8 bytes would not fit in
// the target (terminator included) is refused with a message and the dialog
// stays open.
template <std::size_t N>
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char (&path)[N])
{
    return rte::ui::fileSelect(defaultDirectory, defaultFileSpec, fileTypeList, title,
                               buttonLabel, restrictDirectory, restrictExtension, allowCancel,
                               allowMakeDirectory, path, N);
}

// kAllPlots deletes every plot; refresh 1 redraws at once.
enum { kAllPlots = -1 };
int DeleteGraphPlot(int panel, int control, int plot, int refresh);
enum Axis { kAxisTime = 0, kAxisY = 1 };
enum ScalingMode { kScaleManual = 0, kScaleAuto = 1 };  // manual: min to max
// Odd ranges still draw: reversed bounds are swapped, an empty range is
// widened, and a logarithmic axis whose range reaches 0 or below starts at a
// thousandth of its maximum.
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
// Adds a plot of count points; the data are copied, and points with a value
// that is not finite are left out.  The types must match the arrays.  Every
// plot style draws a thin line.  Returns the plot handle.  However many
// plots pile up, a plot that continues the previous one costs only its new
// points.
enum DataType { kTypeInt = 1, kTypeDouble = 4 };
enum { kPlotThinLine = 5 };
enum { kPointNone = 0 };
enum LineStyle { kLineSolid = 0, kLineDash = 1, kLineDot = 2, kLineDashDot = 3, kLineDashDotDot = 4 };
template <typename X, typename Y>
int PlotXY(int panel, int control, const X *x, const Y *y, int count, int xType, int yType,
           int plotStyle, int pointStyle, int lineStyle, int pointFrequency, int colour)
{
    static_assert(std::is_same_v<X, int> || std::is_same_v<X, double>);
    static_assert(std::is_same_v<Y, int> || std::is_same_v<Y, double>);
    if (xType != (std::is_same_v<X, int> ? kTypeInt : kTypeDouble) ||
        yType != (std::is_same_v<Y, int> ? kTypeInt : kTypeDouble))
        return kUiBadArgument;
    return rte::ui::plotXY(panel, control, x, y, count, xType, yType, plotStyle, pointStyle,
                           lineStyle, pointFrequency, colour);
}

// Marks: what a graph shows beside its plots (a limit, a stretch of time, an
// event, a note).  They stay until DeleteGraphMark: DeleteGraphPlot never
// removes them, plots never merge with them, and an autoscaled axis takes its
// range from the plots alone.  The graph shows a change when the event loop
// next runs (at once with the next plot that refreshes at once).  Texts are
// Windows-1252.  The Add calls return a mark handle (positive), kUiBadHandle
// for no graph or kUiBadArgument for a coordinate that is not finite.
// A level: a dashed line across the graph at y in the colour, labelled at
// its right end.  It shows only while y lies inside the range the y axis
// shows (and above 0 on a logarithmic axis).
int AddGraphLevel(int panel, int control, double y, const char *label, int colour);
// A span: the time from t0 to t1 (either order) shaded lightly in the
// colour, over the full height and behind the plots; a span of no length
// still shows as a thin line.
int AddGraphSpan(int panel, int control, double t0, double t1, int colour);
// Moves the ends of a span: 0, kUiBadHandle for a mark that is not a span
// of this graph, kUiBadArgument for an end that is not finite.
int SetGraphSpan(int panel, int control, int mark, double t0, double t1);
// A marker: a small ring at (t, y) in the colour; the tooltip shows while
// the pointer rests on it (within a few pixels).
int AddGraphMarker(int panel, int control, double t, double y, const char *tooltip, int colour);
// A note: a line of text in the lower left corner of the data area.
int AddGraphNote(int panel, int control, const char *text);
// kAllMarks deletes every mark of the graph.  0, or kUiBadHandle for a mark
// that is not alive on this graph.
enum { kAllMarks = -1 };
int DeleteGraphMark(int panel, int control, int mark);

// Documents written as PDF with the toolkit's own writer, for a report on
// paper: headings, text and the picture of a graph control as the program
// drew it (shown or not), laid out down the page and onto a new one as each
// fills.  Texts and the path are UTF-8.  The calls return 0 (New: a handle),
// kUiBadHandle for no such document, panel or graph, or kUiBadArgument when
// the file cannot be written.
enum PageSize { kPageA4 = 0, kPageLetter = 1 };
// Letter where the desktop's locale measures in inches (the US), else A4.
int DefaultPageSize();
int NewPdfDocument(const char *path, int pageSize, const char *title);
int AddPdfHeading(int document, const char *text);
// Lines separated by "\n", each wrapped to the page's width.
int AddPdfText(int document, const char *text, int monospace);
int AddPdfGraph(int document, int panel, int control);
// Ends the document: 0 once the file is written whole.
int ClosePdfDocument(int document);
