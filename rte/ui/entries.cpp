#include "rte/ui/control_kinds.h"

#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>

#include <cmath>
#include <functional>

namespace rte::ui {

namespace {

// An entry commits on Enter, and when its value changed by typing (taken
// when the focus leaves it or when the value is read) or by its arrows.
// Values set by the program never commit.
template <typename Base>
class EntryBox : public Base {
public:
    explicit EntryBox(std::function<void()> commit) : commit_(std::move(commit))
    {
        this->setKeyboardTracking(false);
        this->setFocusPolicy(Qt::StrongFocus);
        QObject::connect(this, &Base::valueChanged, [this] { committed(); });
    }
    // Typed text is taken as Enter takes it: a valid value becomes the value
    // (and commits when it differs), anything else gives way to the value
    // on show.  Untouched text is left alone: the shortest form shown may be
    // shorter than the value the program set.
    void settle()
    {
        if (this->lineEdit()->text() != this->textFromValue(this->value()))
            this->interpretText();
    }
    void committed()
    {
        ++commits_;
        commit_();
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const int before = commits_;
        Base::keyPressEvent(event);
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && commits_ == before)
            committed();
    }

private:
    std::function<void()> commit_;
    int commits_ = 0;
};

// Doubles are shown in their shortest form and read back in full
// precision, in the operator's locale.
class DoubleBox final : public EntryBox<QDoubleSpinBox> {
public:
    using EntryBox::EntryBox;

protected:
    QString textFromValue(double value) const override { return numberLocale().toString(value, 'g', 12); }
    double valueFromText(const QString &text) const override { return numberLocale().toDouble(text); }
    QValidator::State validate(QString &text, int &) const override
    {
        bool ok = false;
        const double v = numberLocale().toDouble(text, &ok);
        if (ok && v >= minimum() && v <= maximum())
            return QValidator::Acceptable;
        // Anything a number can start with may still become one.
        static const QString kNumberChars = QStringLiteral("0123456789+-eE");
        for (QChar c : text)
            if (!kNumberChars.contains(c) && c != numberLocale().decimalPoint().front())
                return QValidator::Invalid;
        return QValidator::Intermediate;
    }

private:
    QLocale numberLocale() const
    {
        QLocale l = locale();
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }
};

class Entry final : public Control {
public:
    Entry(Panel &panel, const ControlSpec &desc) : Control(panel, desc)
    {
        auto commitFn = [this] { commit(); };
        if (desc.type == ValueType::Int) {
            auto *box = new EntryBox<QSpinBox>(commitFn);
            box->setRange(static_cast<int>(desc.min), static_cast<int>(desc.max));
            box_ = box;
            settle_ = [box] { box->settle(); };
        } else {
            auto *box = new DoubleBox(commitFn);
            box->setDecimals(12);
            box->setRange(desc.min, desc.max);
            box_ = box;
            settle_ = [box] { box->settle(); };
        }
        dress(box_, desc);
        box_->setMinimumHeight(30);
        captioned_ = std::make_unique<Captioned>(desc, box_);
        set(desc.initial);
    }
    QWidget *widget() const override { return box_; }
    QWidget *cell() const override { return captioned_->outer(); }
    QLabel *formLabel() const override { return captioned_->formLabel(); }
    void settle() override { settle_(); }

    int set(double value) override
    {
        if (std::isnan(value))
            return kUiBadArgument;
        const QSignalBlocker quiet(box_);
        if (auto *i = qobject_cast<QSpinBox *>(box_)) {
            const std::optional<int> v = toInt(value);
            if (!v)
                return kUiBadArgument;
            i->setValue(*v);
        } else
            static_cast<QDoubleSpinBox *>(box_)->setValue(value);
        return 0;
    }
    int get(double &value) const override
    {
        if (auto *i = qobject_cast<QSpinBox *>(box_))
            value = i->value();
        else
            value = static_cast<QDoubleSpinBox *>(box_)->value();
        return 0;
    }

private:
    QAbstractSpinBox *box_;
    std::function<void()> settle_;
    std::unique_ptr<Captioned> captioned_;
};

}  // namespace

std::unique_ptr<Control> makeEntry(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<Entry>(panel, desc);
}

}  // namespace rte::ui
