#include "rte/ui/panel.h"

#include "rte/ui/controls.h"
#include "rte/ui/engine.h"
#include "rte/ui/graph.h"

#include <QAction>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace rte::ui {

// The top-level window of a panel.  A close request never closes it by
// itself: the panel decides (its callback gets the request, or it hides).
class Panel::Window final : public QWidget {
public:
    Window(Panel &panel, bool closeOnEscape) : panel_(panel), closeOnEscape_(closeOnEscape) {}

protected:
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        panel_.closeRequested();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (closeOnEscape_ && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
            close();
        else
            QWidget::keyPressEvent(event);
    }

private:
    Panel &panel_;
    bool closeOnEscape_;
};

QAction *MenuBar::item(int id) const
{
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

Panel::Panel(int handle, int menuBarHandle, const PanelSpec &desc)
    : handle_(handle),
      callback_(desc.callback.isEmpty() ? nullptr : engine().panelCallback(desc.callback)),
      window_(std::make_unique<Window>(*this, desc.closeOnEscape)), unbuilt_(&desc)
{
    window_->setWindowTitle(desc.title);
    window_->resize(desc.width, desc.height);
    if (!desc.menus.empty())
        menuBar_ = std::make_unique<MenuBar>(menuBarHandle, handle);
}

Panel::~Panel() = default;

QWidget *Panel::window() const { return window_.get(); }

Control *Panel::control(int number) const
{
    const auto it = controls_.find(number);
    return it == controls_.end() ? nullptr : it->second.get();
}

// A captioned control has its caption in the label column; a text or a
// graph takes the whole row; a switch, button or lamp stands in the field
// column, under the fields.
static void addRow(QFormLayout &form, const Control &control)
{
    if (QLabel *label = control.formLabel())
        form.addRow(label, control.cell());
    else if (control.kind() == Kind::Text || control.kind() == Kind::Graph)
        form.addRow(control.cell());
    else
        form.setWidget(form.rowCount(), QFormLayout::FieldRole, control.cell());
}

void Panel::build()
{
    if (const PanelSpec *desc = std::exchange(unbuilt_, nullptr))
        buildControls(*desc);
}

void Panel::buildControls(const PanelSpec &desc)
{
    auto *grid = new QGridLayout(window_.get());
    grid->setContentsMargins(12, 8, 12, 12);
    grid->setHorizontalSpacing(14);
    // Rows close enough that the main panel fits a 1024 x 600 screen.
    grid->setVerticalSpacing(6);
    for (std::size_t i = 0; i < desc.columnStretch.size(); ++i)
        grid->setColumnStretch(static_cast<int>(i), desc.columnStretch[i]);
    for (std::size_t i = 0; i < desc.rowStretch.size(); ++i)
        grid->setRowStretch(static_cast<int>(i), desc.rowStretch[i]);
    if (menuBar_)
        buildMenuBar(desc);
    // Each form lies on a widget of its own, so that it takes its spacing
    // from the style as a form does in a dialog, not from the grid.
    std::vector<QFormLayout *> forms;
    for (const FormSpec &f : desc.forms) {
        auto *holder = new QWidget;
        forms.push_back(new QFormLayout(holder));
        forms.back()->setContentsMargins(0, 0, 0, 0);
        grid->addWidget(holder, f.row, f.column, f.rowSpan, f.columnSpan);
    }

    std::map<std::pair<int, int>, const Control *> formRows;  // by form and row
    std::vector<QWidget *> tabOrder;
    for (const ControlSpec &c : desc.controls) {
        std::unique_ptr<Control> control =
            c.kind == Kind::Graph ? makeGraph(*this, c) : makeControl(*this, c);
        if (c.dimmed)
            control->setAttribute(kAttrDimmed, 1);
        if (c.colour >= 0)
            control->setAttribute(kAttrColour, c.colour);
        if (c.hidden)
            control->setAttribute(kAttrVisible, 0);
        if (QWidget *w = control->widget()) {
            if (c.form == 0)
                grid->addWidget(control->cell(), c.row, c.column, c.rowSpan, c.columnSpan);
            else
                formRows[{c.form, c.row}] = control.get();
            tabOrder.push_back(w);
        }
        controls_[c.number] = std::move(control);
    }
    for (const auto &[place, control] : formRows)
        addRow(*forms[static_cast<std::size_t>(place.first - 1)], *control);
    // Tab order follows the order of the panel file, once every control
    // stands in the window.
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void Panel::buildMenuBar(const PanelSpec &desc)
{
    auto *bar = new QMenuBar(window_.get());
    window_->layout()->setMenuBar(bar);
    for (const MenuSpec &m : desc.menus) {
        QMenu *menu = bar->addMenu(m.caption);
        for (const MenuItemSpec &item : m.items) {
            QAction *action = menu->addAction(item.caption);
            menuBar_->add(item.id, action);
            if (item.callback.isEmpty())
                continue;
            QObject::connect(action, &QAction::triggered,
                             [cb = engine().menuCallback(item.callback), bar = menuBar_->handle(),
                              id = item.id, panel = handle_] {
                                 engine().deliver(Engine::Busy::Defer, [=] { cb(bar, id, nullptr, panel); });
                             });
        }
    }
}

void Panel::display()
{
    for (auto &[number, control] : controls_)
        control->shown();
    if (!shownBefore_) {
        shownBefore_ = true;
        fitToScreen();
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

// The window system tells a window's frame only once it shows the window;
// until then a title bar of two lines of writing and thin borders.
static QMargins frameOf(QWidget &window)
{
    const QMargins known = window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
    if (!known.isNull())
        return known;
    const int border = 4;
    return {border, 2 * window.fontMetrics().height(), border, border};
}

// The first size is the panel file's where the screen's free area (without
// task bars) has room for it with the frame, and smaller where it has not,
// though never smaller than the size at which every control is whole; the
// window opens in the middle of that area.  A panel without a control that
// grows with the window (a graph, a list) is no taller than its rows need.
void Panel::fitToScreen()
{
    QWidget &w = *window_;
    w.winId();  // the window and its screen, and its frame where already known
    QLayout &layout = *w.layout();
    layout.activate();
    if (!(layout.expandingDirections() & Qt::Vertical))
        w.resize(w.width(), layout.hasHeightForWidth() ? layout.totalHeightForWidth(w.width())
                                                         : layout.totalSizeHint().height());
    const QRect free = w.screen()->availableGeometry();
    const QMargins frame = frameOf(w);
    const QSize size = w.size().boundedTo(free.size().shrunkBy(frame)).expandedTo(w.minimumSize());
    w.resize(size);
    const QSize outer = size.grownBy(frame);
    w.move(free.x() + std::max(0, (free.width() - outer.width()) / 2),
           free.y() + std::max(0, (free.height() - outer.height()) / 2));
}

void Panel::hide() { window_->hide(); }

void Panel::settle()
{
    for (auto &[number, control] : controls_)
        control->settle();
}

void Panel::closeRequested()
{
    if (!callback_) {
        hide();
        return;
    }
    engine().deliver(Engine::Busy::Defer,
                     [cb = callback_, panel = handle_] { cb(panel, kEventClose, nullptr, 0, 0); });
}

}  // namespace rte::ui
