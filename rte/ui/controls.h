// The controls of a panel: one class per kind, built from the panel file.
#pragma once

#include "rte/ui/panel_file.h"
#include "rte/userint.h"

#include <QString>

#include <memory>
#include <optional>

class QLabel;
class QWidget;

namespace rte::ui {

class Panel;

class Control {
public:
    Control(Panel &panel, const ControlSpec &desc);
    virtual ~Control() = default;
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    int number() const { return number_; }
    Kind kind() const { return kind_; }
    // Its text crosses the API as UTF-8 (a path, or a text for a protocol
    // that takes UTF-8) rather than Windows-1252.
    bool holdsUtf8() const { return holdsUtf8_; }
    // What the operator operates and the keyboard reaches; nullptr for the
    // timer, which has no face.
    virtual QWidget *widget() const = 0;
    // What the panel's grid or form holds: the widget, with its caption
    // label unless a form holds that label in its label column.
    virtual QWidget *cell() const { return widget(); }
    // The caption label that a form holds beside the cell; nullptr outside
    // a form and for kinds without one.
    virtual QLabel *formLabel() const { return nullptr; }

    virtual int set(double value);
    virtual int set(const QString &text);
    virtual int get(double &value) const;
    virtual int get(QString &text) const;
    virtual int setAttribute(int attribute, double value);
    // Makes the value what the control shows: text the operator typed but
    // has not yet confirmed is taken, as Enter would take it.
    virtual void settle() {}
    // The panel was just shown.
    virtual void shown() {}

protected:
    // Hands an event to the control's callback, if it has one.
    void send(int event) const;
    // The operator's action acts on what every entry of the panel shows, as
    // it does when a click takes the focus from the entry first.
    void commit() const;
    Panel &panel_;

private:
    int number_;
    Kind kind_;
    bool holdsUtf8_;
    CtrlCallbackPtr callback_;
};

// The int a value given to the engine stands for, truncated toward zero;
// nothing for NaN, infinities and values beyond int, which the engine
// refuses as bad arguments.
std::optional<int> toInt(double value);

// Kinds other than the graph (graph.h).
std::unique_ptr<Control> makeControl(Panel &panel, const ControlSpec &desc);

// Timer controls expose their interval to the tests.
double timerInterval(const Control &control);

}  // namespace rte::ui
