#include "rte/ui/control_kinds.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace rte::ui {

namespace {

class TimerControl final : public Control {
public:
    TimerControl(Panel &panel, const ControlSpec &desc) : Control(panel, desc)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        setInterval(desc.interval);
        QObject::connect(&timer_, &QTimer::timeout, [this] { send(kEventTick); });
        if (desc.enabled)
            timer_.start();
    }
    QWidget *widget() const override { return nullptr; }
    int setAttribute(int attribute, double value) override
    {
        if (attribute != kAttrInterval || !(value > 0) || !std::isfinite(value))
            return kUiBadArgument;
        setInterval(value);
        return 0;
    }
    // What the timer itself runs at, not what it was asked for.
    double interval() const { return timer_.interval() / 1000.0; }

private:
    void setInterval(double seconds)
    {
        timer_.setInterval(static_cast<int>(std::clamp(std::round(seconds * 1000.0), 1.0, 2e9)));
    }
    QTimer timer_;
};

}  // namespace

std::unique_ptr<Control> makeTimer(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<TimerControl>(panel, desc);
}

double timerInterval(const Control &control)
{
    const auto *timer = dynamic_cast<const TimerControl *>(&control);
    return timer ? timer->interval() : 0;
}

}  // namespace rte::ui
