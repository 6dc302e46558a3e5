#include "rte/ui/control_kinds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPainter>

#include <algorithm>

namespace rte::ui {

namespace {

class Selector final : public Control {
public:
    Selector(Panel &panel, const ControlSpec &desc) : Control(panel, desc), combo_(new QComboBox)
    {
        for (const SelectorItem &item : desc.items)
            combo_->addItem(item.caption, item.value);
        dress(combo_, desc);
        combo_->setMinimumHeight(30);
        captioned_ = std::make_unique<Captioned>(desc, combo_);
        set(desc.initial);
        QObject::connect(combo_, &QComboBox::activated, [this] { commit(); });
    }
    QWidget *widget() const override { return combo_; }
    QWidget *cell() const override { return captioned_->outer(); }
    QLabel *formLabel() const override { return captioned_->formLabel(); }

    int set(double value) override
    {
        const std::optional<int> v = toInt(value);
        const int index = v && value == *v ? combo_->findData(*v) : -1;
        if (index < 0)
            return kUiBadArgument;
        combo_->setCurrentIndex(index);
        return 0;
    }
    int get(double &value) const override
    {
        value = combo_->currentData().toInt();
        return 0;
    }

private:
    QComboBox *combo_;
    std::unique_ptr<Captioned> captioned_;
};

class Switch final : public Control {
public:
    Switch(Panel &panel, const ControlSpec &desc) : Control(panel, desc), box_(new QCheckBox(desc.caption))
    {
        dress(box_, desc);
        keepWhole(box_);
        box_->setChecked(desc.initial != 0);
        // Toggled, not clicked: assistive technology toggles without a click.
        QObject::connect(box_, &QCheckBox::toggled, [this] { commit(); });
    }
    QWidget *widget() const override { return box_; }
    int set(double value) override
    {
        const QSignalBlocker quiet(box_);
        box_->setChecked(value != 0);
        return 0;
    }
    int get(double &value) const override
    {
        value = box_->isChecked() ? 1 : 0;
        return 0;
    }

private:
    QCheckBox *box_;
};

// A lamp with its caption beside it; its state is also told to assistive
// technology through the accessible description.
class Lamp final : public QWidget {
public:
    explicit Lamp(const QString &caption) : caption_(caption)
    {
        setFocusPolicy(Qt::TabFocus);
        setMinimumHeight(30);
        setLit(false);
    }
    void setLit(bool lit)
    {
        lit_ = lit;
        setAccessibleDescription(lit ? QStringLiteral("on") : QStringLiteral("off"));
        update();
    }
    bool lit() const { return lit_; }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return {fm.height() + 12 + fm.horizontalAdvance(caption_), std::max(fm.height() + 8, 30)};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const int d = std::min(height() - 8, fontMetrics().height() + 4);
        const QRectF lamp(2, (height() - d) / 2.0, d, d);
        const QColor on(0xF0, 0xB0, 0x00), off(0x50, 0x50, 0x50);
        p.setPen(QPen(palette().color(QPalette::WindowText), 1));
        p.setBrush(lit_ && isEnabled() ? on : off);
        p.drawEllipse(lamp);
        p.drawText(QRectF(lamp.right() + 8, 0, width() - lamp.right() - 8, height()),
                   Qt::AlignVCenter | Qt::AlignLeft, caption_);
        if (hasFocus()) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

private:
    QString caption_;
    bool lit_ = false;
};

class Indicator final : public Control {
public:
    Indicator(Panel &panel, const ControlSpec &desc) : Control(panel, desc), lamp_(new Lamp(desc.caption))
    {
        dress(lamp_, desc);
        keepWhole(lamp_);
        set(desc.initial);
    }
    QWidget *widget() const override { return lamp_; }
    int set(double value) override
    {
        lamp_->setLit(value != 0);
        return 0;
    }
    int get(double &value) const override
    {
        value = lamp_->lit() ? 1 : 0;
        return 0;
    }

private:
    Lamp *lamp_;
};

}  // namespace

std::unique_ptr<Control> makeSelector(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<Selector>(panel, desc);
}

std::unique_ptr<Control> makeSwitch(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<Switch>(panel, desc);
}

std::unique_ptr<Control> makeIndicator(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<Indicator>(panel, desc);
}

}  // namespace rte::ui
