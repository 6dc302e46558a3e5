#include "rte/ui/control_kinds.h"

#include "rte/ui/engine.h"
#include "rte/ui/text.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>

namespace rte::ui {

namespace {

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

}  // namespace

std::unique_ptr<Control> makeDisplay(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<Display>(panel, desc);
}

std::unique_ptr<Control> makeText(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<Text>(panel, desc);
}

std::unique_ptr<Control> makePortList(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<PortList>(panel, desc);
}

}  // namespace rte::ui
