// The operator's side of the panels, for tests and benchmarks.
#include "rte/testing/testing.h"
#include "rte/ui/controls.h"
#include "rte/ui/engine.h"
#include "rte/ui/panel.h"
#include "rte/ui/text.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace rte::testing {
namespace {

ui::Control *control(int panel, int number)
{
    ui::Panel *p = ui::engine().panel(panel);
    return p ? p->control(number) : nullptr;
}

void key(QWidget *target, int code, const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

}  // namespace

QWidget *widget(int panel, int number)
{
    ui::Control *c = control(panel, number);
    return c ? c->widget() : nullptr;
}

void operate(int panel, int number)
{
    if (auto *b = qobject_cast<QAbstractButton *>(widget(panel, number)))
        b->click();
}

void focusControl(int panel, int number)
{
    QWidget *w = widget(panel, number);
    if (!w)
        return;
    // Activation requests still queued from earlier would take the window
    // away again later: let them pass first.
    QCoreApplication::processEvents();
    QWidget *window = w->window();
    window->activateWindow();
    waitUntil([window] { return window->isActiveWindow(); }, 5);
    w->setFocus(Qt::TabFocusReason);
    waitUntil([w] { return w->hasFocus(); }, 5);
}

void typeInto(int panel, int number, const char *text, bool enter)
{
    QWidget *w = widget(panel, number);
    if (!w)
        return;
    focusControl(panel, number);
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
        spin->selectAll();
    else if (auto *line = qobject_cast<QLineEdit *>(w))
        line->selectAll();
    const QString typed = ui::fromUtf8(text);
    // One key a character; a character beyond the first 65,536 is two
    // UTF-16 units that go together.
    for (qsizetype k = 0; k < typed.size(); ++k) {
        const qsizetype n = typed.at(k).isHighSurrogate() && k + 1 < typed.size() ? 2 : 1;
        key(w, 0, typed.mid(k, n));
        k += n - 1;
    }
    if (enter)
        key(w, Qt::Key_Return);
}

void selectItem(int panel, int number, int index)
{
    auto *combo = qobject_cast<QComboBox *>(widget(panel, number));
    if (!combo || index < 0 || index >= combo->count())
        return;
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    view->setCurrentIndex(view->model()->index(index, 0));
    key(view, Qt::Key_Return);
}

void activateMenuItem(int menuBar, int item)
{
    if (ui::MenuBar *bar = ui::engine().menuBar(menuBar))
        if (QAction *action = bar->item(item))
            action->trigger();
}

void closePanel(int panel)
{
    if (ui::Panel *p = ui::engine().panel(panel))
        p->window()->close();
}

bool panelVisible(int panel)
{
    ui::Panel *p = ui::engine().panel(panel);
    return p && p->window()->isVisible();
}

bool waitUntil(const std::function<bool()> &cond, double timeoutSeconds)
{
    const QDeadlineTimer deadline(static_cast<qint64>(timeoutSeconds * 1000));
    // Sleeps between events instead of polling: a wait must not load the
    // processor it may be measuring.
    QTimer wake;
    wake.start(10);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double timerInterval(int panel, int number)
{
    ui::Control *c = control(panel, number);
    return c ? ui::timerInterval(*c) : 0;
}

}  // namespace rte::testing
