// The user-interface calls of userint.h, over the engine in ui_*.
#include "rte/userint.h"

#include "rte/ui/engine.h"
#include "rte/ui/graph.h"
#include "rte/ui/panel.h"
#include "rte/ui/text.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

#include <cmath>
#include <limits>
#include <vector>

using rte::ui::Control;
using rte::ui::engine;

namespace {

Control *find(int panel, int control)
{
    rte::ui::Panel *p = engine().panel(panel);
    return p ? p->control(control) : nullptr;
}

rte::ui::GraphControl *findGraph(int panel, int control)
{
    return dynamic_cast<rte::ui::GraphControl *>(find(panel, control));
}

template <typename F>
int withPanel(int panel, F &&f)
{
    rte::ui::Panel *p = engine().panel(panel);
    if (!p)
        return kUiBadHandle;
    f(*p);
    return 0;
}

std::vector<double> asDoubles(const void *data, int type, int count)
{
    std::vector<double> out(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        out[static_cast<std::size_t>(i)] =
            type == kTypeInt ? static_cast<const int *>(data)[i] : static_cast<const double *>(data)[i];
    return out;
}

}  // namespace

int LoadPanel(int parent, const char *file, int resource)
{
    if (parent != 0)
        return kUiBadArgument;  // every panel is a top-level window
    return engine().loadPanel(file, resource);
}

int GetPanelMenuBar(int panel)
{
    rte::ui::Panel *p = engine().panel(panel);
    if (!p || !p->menuBar())
        return kUiBadHandle;
    return p->menuBar()->handle();
}

int DisplayPanel(int panel)
{
    return withPanel(panel, [](rte::ui::Panel &p) { p.display(); });
}

int HidePanel(int panel)
{
    return withPanel(panel, [](rte::ui::Panel &p) { p.hide(); });
}

int RunUserInterface() { engine().run(); }

void ExitProgram(int status) { engine().requestExit(status); }

int SetCtrlVal(int panel, int control, int value) { return SetCtrlVal(panel, control, static_cast<double>(value)); }

int SetCtrlVal(int panel, int control, double value)
{
    Control *c = find(panel, control);
    return c ? c->set(value) : kUiBadHandle;
}

int SetCtrlVal(int panel, int control, const char *value)
{
    Control *c = find(panel, control);
    if (!c)
        return kUiBadHandle;
    if (!value)
        return kUiBadArgument;
    return c->set(c->holdsUtf8() ? rte::ui::fromUtf8(value) : rte::ui::fromCp1252(value));
}

int GetCtrlVal(int panel, int control, int &value)
{
    double d = 0;
    const int status = GetCtrlVal(panel, control, d);
    if (status == 0)
        value = std::isnan(d) ? 0
                              : static_cast<int>(std::clamp<double>(std::trunc(d), std::numeric_limits<int>::min(),
                                                                    std::numeric_limits<int>::max()));
    return status;
}

int GetCtrlVal(int panel, int control, double &value)
{
    Control *c = find(panel, control);
    if (!c)
        return kUiBadHandle;
    // The value is the one the operator sees.
    c->settle();
    return c->get(value);
}

int rte::ui::getCtrlText(int panel, int control, char *value, std::size_t capacity)
{
    Control *c = find(panel, control);
    if (!c)
        return kUiBadHandle;
    QString text;
    const int status = c->get(text);
    if (status == 0 && c->holdsUtf8())
        copyBoundedUtf8(toUtf8(text), value, capacity);
    else if (status == 0)
        copyBounded(toCp1252(text), value, capacity);
    return status;
}

int SetCtrlAttribute(int panel, int control, int attribute, int value)
{
    return SetCtrlAttribute(panel, control, attribute, static_cast<double>(value));
}

int SetCtrlAttribute(int panel, int control, int attribute, double value)
{
    Control *c = find(panel, control);
    if (!c)
        return kUiBadHandle;
    return std::isnan(value) ? kUiBadArgument : c->setAttribute(attribute, value);
}

int SetMenuBarAttribute(int menuBar, int menuItem, int attribute, int value)
{
    rte::ui::MenuBar *bar = engine().menuBar(menuBar);
    QAction *item = bar ? bar->item(menuItem) : nullptr;
    if (!item)
        return kUiBadHandle;
    if (attribute != kAttrDimmed)
        return kUiBadArgument;
    item->setEnabled(value == 0);
    return 0;
}

int SetPanelAttribute(int panel, int attribute, const char *value)
{
    rte::ui::Panel *p = engine().panel(panel, false);
    if (!p)
        return kUiBadHandle;
    if (attribute != kAttrTitle || !value)
        return kUiBadArgument;
    p->window()->setWindowTitle(rte::ui::fromCp1252(value));
    return 0;
}

int rte::ui::getPanelText(int panel, int attribute, char *value, std::size_t capacity)
{
    Panel *p = engine().panel(panel, false);
    if (!p)
        return kUiBadHandle;
    if (attribute != kAttrTitle)
        return kUiBadArgument;
    copyBounded(toCp1252(p->window()->windowTitle()), value, capacity);
    return 0;
}

int DeleteGraphPlot(int panel, int control, int plot, int refresh)
{
    rte::ui::GraphControl *g = findGraph(panel, control);
    return g ? g->deletePlot(plot, refresh != 0) : kUiBadHandle;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max)
{
    rte::ui::GraphControl *g = findGraph(panel, control);
    return g ? g->setAxisScaling(axis, mode, min, max) : kUiBadHandle;
}

int rte::ui::plotXY(int panel, int control, const void *x, const void *y, int count, int xType, int yType,
                    int plotStyle, int pointStyle, int lineStyle, int pointFrequency, int colour)
{
    (void)pointFrequency;  // every point is drawn
    GraphControl *g = findGraph(panel, control);
    if (!g)
        return kUiBadHandle;
    if (count < 0 || (count > 0 && (!x || !y)))
        return kUiBadArgument;
    const std::vector<double> xs = asDoubles(x, xType, count), ys = asDoubles(y, yType, count);
    return g->addPlot(xs, ys, {plotStyle, pointStyle, lineStyle, colour});
}

int SetWaitCursor(int on)
{
    static bool shown = false;
    const int was = shown ? 1 : 0;
    if ((on != 0) != shown) {
        shown = on != 0;
        if (shown)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::restoreOverrideCursor();
        // The caller blocks the event loop next: show the cursor now.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return was;
}
