#include "rte/ui/control_kinds.h"

#include <QPushButton>

namespace rte::ui {

namespace {

class Button final : public Control {
public:
    Button(Panel &panel, const ControlSpec &desc) : Control(panel, desc), button_(new QPushButton(desc.caption))
    {
        dress(button_, desc);
        keepWhole(button_);
        button_->setAutoDefault(false);
        button_->setMinimumHeight(34);
        QObject::connect(button_, &QPushButton::clicked, [this] { commit(); });
    }
    QWidget *widget() const override { return button_; }

    int setAttribute(int attribute, double value) override
    {
        if (attribute != kAttrColour)
            return Control::setAttribute(attribute, value);
        const std::optional<int> colour = toInt(value);
        if (!colour)
            return kUiBadArgument;
        const QColor face(static_cast<QRgb>(*colour & 0xFFFFFF));
        QPalette pal = button_->palette();
        pal.setColor(QPalette::Button, face);
        // Dark faces get light writing so that the caption stays readable.
        pal.setColor(QPalette::ButtonText, face.lightness() < 128 ? Qt::white : Qt::black);
        button_->setPalette(pal);
        return 0;
    }

private:
    QPushButton *button_;
};

}  // namespace

std::unique_ptr<Control> makeButton(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<Button>(panel, desc);
}

}  // namespace rte::ui
