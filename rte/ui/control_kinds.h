// Private to the controls: the face that every kind of control shares, and
// how each kind is made (one file per family: buttons.cpp, entries.cpp,
// switches.cpp, texts.cpp, timer_control.cpp).
#pragma once

#include "rte/ui/controls.h"

#include <memory>

class QLabel;
class QWidget;

namespace rte::ui {

// Common face of every visible control: font, tip, and the caption as the
// accessible name.
void dress(QWidget *w, const ControlSpec &desc);
// A control never gets less room than it asks for, so that its writing is
// never cut; the graph is what gives up space when the window is small.
void keepWhole(QWidget *w);

// An entry, selector or list with its caption label as the label's buddy.
// In a form the label stands in the form's label column; elsewhere the two
// share a cell.
class Captioned {
public:
    Captioned(const ControlSpec &desc, QWidget *inner);
    QWidget *outer() const { return outer_; }
    QLabel *formLabel() const { return inForm_ ? label_ : nullptr; }

private:
    QLabel *label_;
    QWidget *outer_;
    bool inForm_;
};

std::unique_ptr<Control> makeButton(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makeEntry(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makeSelector(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makeSwitch(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makeIndicator(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makeDisplay(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makeText(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makePortList(Panel &panel, const ControlSpec &desc);
std::unique_ptr<Control> makeTimer(Panel &panel, const ControlSpec &desc);

}  // namespace rte::ui
