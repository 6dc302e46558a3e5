#include "rte/ui/controls.h"

#include "rte/ui/control_kinds.h"
#include "rte/ui/engine.h"
#include "rte/ui/panel.h"

#include <QLabel>

namespace rte::ui {

Control::Control(Panel &panel, const ControlSpec &desc)
    : panel_(panel), number_(desc.number), kind_(desc.kind), holdsUtf8_(desc.utf8),
      callback_(desc.callback.isEmpty() ? nullptr : engine().controlCallback(desc.callback))
{
}

std::optional<int> toInt(double value)
{
    // The bounds are the nearest whole numbers outside int, exact as doubles.
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return std::nullopt;
    return static_cast<int>(value);
}

int Control::set(double) { return kUiBadArgument; }
int Control::set(const QString &) { return kUiBadArgument; }
int Control::get(double &) const { return kUiBadArgument; }
int Control::get(QString &) const { return kUiBadArgument; }

int Control::setAttribute(int attribute, double value)
{
    if (!widget())
        return kUiBadArgument;
    if (attribute != kAttrDimmed && attribute != kAttrVisible)
        return kUiBadArgument;
    for (QWidget *w : {cell(), static_cast<QWidget *>(formLabel())}) {
        if (!w)
            continue;
        if (attribute == kAttrDimmed)
            w->setEnabled(value == 0);
        else
            w->setVisible(value != 0);
    }
    return 0;
}

void Control::commit() const
{
    panel_.settle();
    send(kEventCommit);
}

void Control::send(int event) const
{
    if (!callback_)
        return;
    // A tick that finds the program busy is dropped; the operator's commits
    // wait their turn.
    const auto whenBusy = event == kEventTick ? Engine::Busy::Drop : Engine::Busy::Defer;
    engine().deliver(whenBusy, [cb = callback_, panel = panel_.handle(), n = number_, event] {
        cb(panel, n, event, nullptr, 0, 0);
    });
}

std::unique_ptr<Control> makeControl(Panel &panel, const ControlSpec &desc)
{
    switch (desc.kind) {
    case Kind::Button: return makeButton(panel, desc);
    case Kind::Entry: return makeEntry(panel, desc);
    case Kind::Selector: return makeSelector(panel, desc);
    case Kind::Switch: return makeSwitch(panel, desc);
    case Kind::Indicator: return makeIndicator(panel, desc);
    case Kind::Display: return makeDisplay(panel, desc);
    case Kind::Text: return makeText(panel, desc);
    case Kind::PortList: return makePortList(panel, desc);
    case Kind::Timer: return makeTimer(panel, desc);
    case Kind::Graph: break;
    }
    return nullptr;
}

}  // namespace rte::ui
