// The panel file: a JSON text that describes the panels of a program.
//
//   { "format": "vandrel-panels", "version": 1,
//     "panels": [ PANEL, ... ] }
//
// PANEL
//   "resource"       int > 0, unique in the file: the number LoadPanel asks for
//   "constant"       the name the program's code gives the panel (optional;
//                    controls and menu items have one too): the build names
//                    the numbers after it, the engine does not read it
//   "title"          window title
//   "size"           [width, height]: the window's first size in pixels
//   "callback"       panel callback name (optional): gets kEventClose on a
//                    close request; without one a close request hides the panel
//   "closeOnEscape"  true: Escape asks to close the panel (optional)
//   "columnStretch", "rowStretch"  stretch factor of each grid column / row
//   "forms"          [ { "cell": [row, column, rowSpan, columnSpan] }, ... ]
//                    (optional): forms that stand in the grid's cells, their
//                    rows filled by the controls that name them, laid out by the toolkit's form layout for the style in
//                    use (label column, field column, spacing, field growth)
//   "menuBar"        { "menus": [ { "caption": "&Settings",
//                      "items": [ { "id": 1, "caption": "...", "callback": "..." } ] } ] }
//   "controls"       [ CONTROL, ... ] in keyboard (tab) order
//
// CONTROL
//   "number"    int > 0, unique in the panel
//   "kind"      button | entry | selector | switch | indicator | display |
//               text | graph | timer | portlist
//   "caption"   what the operator reads; also the control's accessible name
//   "cell"      [row, column] or [row, column, rowSpan, columnSpan] in the
//               panel's grid (every kind but timer, unless "form" is given)
//   "form"      [form, row]: the control stands in that row of the panel's
//               form of that number (1: the first of "forms") in place of a
//               "cell"; rows count from 0, in order, gaps closed.  An entry,
//               selector, display or port list has its caption in the label
//               column; a text or graph spans the row; other kinds stand in
//               the field column
//   "caption_at"  "above" (default) or "left": where an entry, selector or
//               display outside a form shows its caption
//   "type"      int | double: the value kind of an entry
//   "range"     [min, max] for entries
//   "value"     initial value
//   "columns"   display: the characters it always shows whole (optional)
//   "items"     selector: [ [caption, int value], ... ]
//   "callback"  control callback name (optional)
//   "font"      { "size": points, "monospace": bool, "bold": bool } (optional)
//   "tip"       tool tip for the operator (optional)
//   "dimmed"    true: starts dimmed (optional)
//   "hidden"    true: starts hidden, taking no room (optional; not a timer)
//   "utf8"      true on a display or text whose text crosses the API as
//               UTF-8 instead of Windows-1252 (optional): a file path, or a
//               text that goes on to a protocol that takes UTF-8
//   "editable"  true on a display whose text the operator types (optional)
//   "secret"    true on a display whose text is never shown, such as a
//               password (optional)
//   "colour"    "#RRGGBB": a button's first face colour (optional)
//   "interval", "enabled"      timer: first tick interval in seconds, running
//   "xRange", "yRange", "xLabel", "yLabel"   graph: first axis ranges and titles
// Texts may say {programDir}: the directory of the running program.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace rte::ui {

enum class Kind { Button, Entry, Selector, Switch, Indicator, Display, Text, Graph, Timer, PortList };
enum class ValueType { None, Int, Double, Text };

struct SelectorItem {
    QString caption;
    int value = 0;
};

struct ControlSpec {
    int number = 0;
    Kind kind = Kind::Button;
    QString caption;
    int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
    int form = 0;  // 1 and up: in row `row` of the panel's form of that number; 0: at the cell
    bool captionLeft = false;
    ValueType type = ValueType::None;
    double min = 0, max = 0;
    double initial = 0;      // int and double values
    QString initialText;     // text values
    int columns = 0;         // display: characters always shown whole; 0: the toolkit's choice
    std::vector<SelectorItem> items;
    QString callback;
    double fontSize = 0;
    bool monospace = false, bold = false;
    QString tip;
    bool dimmed = false;
    bool hidden = false;
    bool utf8 = false;
    bool editable = false;  // display: the operator types its text
    bool secret = false;    // display: its text is never shown (a password)
    int colour = -1;  // none
    double interval = 1;
    bool enabled = true;
    double xRange[2] = {0, 100}, yRange[2] = {0, 100};
    QString xLabel, yLabel;
};

struct MenuItemSpec {
    int id = 0;
    QString caption;
    QString callback;
};

struct MenuSpec {
    QString caption;
    std::vector<MenuItemSpec> items;
};

struct FormSpec {
    int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
};

struct PanelSpec {
    int resource = 0;
    QString title;
    int width = 400, height = 300;
    QString callback;
    bool closeOnEscape = false;
    std::vector<int> columnStretch, rowStretch;
    std::vector<FormSpec> forms;
    std::vector<MenuSpec> menus;
    std::vector<ControlSpec> controls;
};

enum class CallbackShape { Control, Panel, Menu };

// The word the panel file uses for a kind ("graph").
const char *kindName(Kind kind);

// Reads a whole panel file.  On a fault returns nothing and says what is
// wrong and where in `fault`.  `hasCallback` tells whether the program has a
// routine of that name and shape; a name it lacks is a fault.
std::optional<std::vector<PanelSpec>> parsePanelFile(
    const QByteArray &json,
    const std::function<bool(const QString &, CallbackShape)> &hasCallback, QString &fault);

}  // namespace rte::ui
