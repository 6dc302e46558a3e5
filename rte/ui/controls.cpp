#include "rte/ui/controls.h"

#include "rte/ui/engine.h"
#include "rte/ui/panel.h"
#include "rte/ui/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

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

namespace {

QFont fontFor(const ControlSpec &desc, QFont font)
{
    if (desc.monospace) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setStyleHint(QFont::TypeWriter);
    }
    if (desc.fontSize > 0)
        font.setPointSizeF(desc.fontSize);
    font.setBold(desc.bold);
    return font;
}

// Common face of every visible control: font, tip, and the caption as the
// accessible name.
void dress(QWidget *w, const ControlSpec &desc)
{
    w->setFont(fontFor(desc, w->font()));
    w->setAccessibleName(desc.caption);
    if (!desc.tip.isEmpty())
        w->setToolTip(desc.tip);
}

// A control never gets less room than it asks for, so that its writing is
// never cut; the graph is what gives up space when the window is small.
void keepWhole(QWidget *w)
{
    const auto noShrink = [](QSizePolicy::Policy p) {
        return static_cast<QSizePolicy::Policy>(p & ~QSizePolicy::ShrinkFlag);
    };
    QSizePolicy policy = w->sizePolicy();
    policy.setHorizontalPolicy(noShrink(policy.horizontalPolicy()));
    policy.setVerticalPolicy(noShrink(policy.verticalPolicy()));
    w->setSizePolicy(policy);
}

// An entry, selector or list with its caption label as the label's buddy.
// In a form the label stands in the form's label column; elsewhere the two
// share a cell.
class Captioned {
public:
    Captioned(const ControlSpec &desc, QWidget *inner)
        : label_(new QLabel(desc.caption)), outer_(inner), inForm_(desc.form > 0)
    {
        label_->setBuddy(inner);
        // Captions as large as the control's writing, up to a readable size.
        if (desc.fontSize > 0) {
            QFont font = label_->font();
            font.setPointSizeF(std::min(desc.fontSize, 11.0));
            label_->setFont(font);
        }
        keepWhole(label_);
        keepWhole(inner);
        if (inForm_)
            return;
        outer_ = new QWidget;
        QBoxLayout *box = desc.captionLeft ? static_cast<QBoxLayout *>(new QHBoxLayout(outer_))
                                           : static_cast<QBoxLayout *>(new QVBoxLayout(outer_));
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(desc.captionLeft ? 8 : 2);
        box->addWidget(label_);
        box->addWidget(inner, 1);
    }
    QWidget *outer() const { return outer_; }
    QLabel *formLabel() const { return inForm_ ? label_ : nullptr; }

private:
    QLabel *label_;
    QWidget *outer_;
    bool inForm_;
};

// ---- buttons -------------------------------------------------------------

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

// ---- numeric entries -------------------------------------------------------

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

// ---- selector, switch, indicator ------------------------------------------

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

// ---- texts -----------------------------------------------------------------

QString withProgramDir(QString text)
{
    return text.replace(QLatin1String("{programDir}"), QDir::toNativeSeparators(programDir()));
}

// A line that shows a number of characters of its font whole, where the
// panel file asks for one.  The toolkit's hint holds 17 of them without the
// room that the cursor and the glyphs' overhang take: one more makes that.
class DisplayLine final : public QLineEdit {
public:
    explicit DisplayLine(int columns) : columns_(columns) {}
    QSize sizeHint() const override
    {
        QSize hint = QLineEdit::sizeHint();
        if (columns_ > 0)
            hint.rwidth() += (columns_ + 1 - 17) * fontMetrics().horizontalAdvance(QLatin1Char('x'));
        return hint;
    }

private:
    int columns_;
};

// A line of text, read-only unless the panel file makes it editable: its
// value is what assistive technology reads, except for a secret one, whose
// text is neither shown nor read out.
class Display final : public Control {
public:
    Display(Panel &panel, const ControlSpec &desc) : Control(panel, desc), line_(new DisplayLine(desc.columns))
    {
        line_->setReadOnly(!desc.editable);
        if (desc.secret)
            line_->setEchoMode(QLineEdit::Password);
        line_->setFocusPolicy(Qt::StrongFocus);
        dress(line_, desc);
        captioned_ = std::make_unique<Captioned>(desc, line_);
        set(desc.initialText);
    }
    QWidget *widget() const override { return line_; }
    QWidget *cell() const override { return captioned_->outer(); }
    QLabel *formLabel() const override { return captioned_->formLabel(); }
    int set(const QString &text) override
    {
        line_->setText(text);
        line_->setCursorPosition(0);
        return 0;
    }
    int get(QString &text) const override
    {
        text = line_->text();
        return 0;
    }
    int setAttribute(int attribute, double value) override
    {
        if (attribute != kAttrTextColour)
            return Control::setAttribute(attribute, value);
        const std::optional<int> colour = toInt(value);
        if (!colour)
            return kUiBadArgument;
        if (*colour < 0) {
            line_->setPalette(QPalette());
            return 0;
        }
        QPalette pal = line_->palette();
        pal.setColor(QPalette::Text, QColor(static_cast<QRgb>(*colour & 0xFFFFFF)));
        line_->setPalette(pal);
        return 0;
    }

private:
    QLineEdit *line_;
    std::unique_ptr<Captioned> captioned_;
};

// Fixed text for the operator to read, reachable by keyboard.
class Text final : public Control {
public:
    Text(Panel &panel, const ControlSpec &desc) : Control(panel, desc), label_(new QLabel)
    {
        label_->setWordWrap(true);
        label_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        label_->setFocusPolicy(Qt::StrongFocus);
        dress(label_, desc);
        set(withProgramDir(desc.caption));
    }
    QWidget *widget() const override { return label_; }
    int set(const QString &text) override
    {
        label_->setText(text);
        label_->setAccessibleName(text);
        // A window keeps no room for lines that wrapping adds as it gets
        // narrower: the text asks for the room of its lines at a width no
        // window is narrower than, its own up to 40 characters.  (Qt's size
        // hint narrows a short text to a quarter of that, which asks for
        // twice the lines it needs.)
        const int width = std::min(label_->fontMetrics().size(0, text).width(),
                                   40 * label_->fontMetrics().averageCharWidth());
        // An empty text has no height for any width (-1): it asks for none.
        label_->setMinimumSize(width, std::max(0, label_->heightForWidth(width)));
        return 0;
    }
    int get(QString &text) const override
    {
        text = label_->text();
        return 0;
    }

private:
    QLabel *label_;
};

// The serial devices that the engine finds, with the number that reaches
// each; read again whenever the panel is shown.
class PortList final : public Control {
public:
    PortList(Panel &panel, const ControlSpec &desc) : Control(panel, desc), list_(new QListWidget)
    {
        list_->setSelectionMode(QAbstractItemView::SingleSelection);
        list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list_->setFocusPolicy(Qt::StrongFocus);
        dress(list_, desc);
        captioned_ = std::make_unique<Captioned>(desc, list_);
    }
    QWidget *widget() const override { return list_; }
    QWidget *cell() const override { return captioned_->outer(); }
    QLabel *formLabel() const override { return captioned_->formLabel(); }
    void shown() override
    {
        const std::vector<ListedPort> ports = engine().listPorts();
        list_->clear();
        for (const ListedPort &p : ports) {
            QString line = QStringLiteral("%1   %2")
                               .arg(p.port > 0 ? QString::number(p.port) : QStringLiteral("-"), 3)
                               .arg(fromUtf8(p.path));
            if (!p.present)
                line += QStringLiteral("   (missing)");
            else if (p.port == 0)
                line += QStringLiteral("   (no port number reaches it)");
            list_->addItem(line);
        }
        if (ports.empty())
            list_->addItem(QStringLiteral("No serial device found"));
    }

private:
    QListWidget *list_;
    std::unique_ptr<Captioned> captioned_;
};

// ---- timer -----------------------------------------------------------------

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

std::unique_ptr<Control> makeControl(Panel &panel, const ControlSpec &desc)
{
    switch (desc.kind) {
    case Kind::Button: return std::make_unique<Button>(panel, desc);
    case Kind::Entry: return std::make_unique<Entry>(panel, desc);
    case Kind::Selector: return std::make_unique<Selector>(panel, desc);
    case Kind::Switch: return std::make_unique<Switch>(panel, desc);
    case Kind::Indicator: return std::make_unique<Indicator>(panel, desc);
    case Kind::Display: return std::make_unique<Display>(panel, desc);
    case Kind::Text: return std::make_unique<Text>(panel, desc);
    case Kind::PortList: return std::make_unique<PortList>(panel, desc);
    case Kind::Timer: return std::make_unique<TimerControl>(panel, desc);
    case Kind::Graph: break;
    }
    return nullptr;
}

double timerInterval(const Control &control)
{
    const auto *timer = dynamic_cast<const TimerControl *>(&control);
    return timer ? timer->interval() : 0;
}

}  // namespace rte::ui
