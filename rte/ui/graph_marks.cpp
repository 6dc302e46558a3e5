#include "rte/ui/graph_marks.h"

#include "rte/ui/engine.h"
#include "rte/ui/graph.h"
#include "rte/ui/panel.h"
#include "rte/ui/text.h"
#include "rte/userint.h"

#include <qcustomplot.h>

#include <QHelpEvent>
#include <QToolTip>

#include <cmath>

namespace rte::ui {
namespace {

// How near the pointer must come to a marker for its tooltip, in pixels.
constexpr double kReach = 8;
constexpr int kMarkerSize = 9;

QColor colourOf(int rgb) { return QColor(static_cast<QRgb>(rgb & 0xFFFFFF)); }

QColor faded(int rgb, int alpha)
{
    QColor c = colourOf(rgb);
    c.setAlpha(alpha);
    return c;
}

}  // namespace

GraphMarks::GraphMarks(QCustomPlot *plot) : plot_(plot)
{
    // Levels, markers and notes above the curves, whenever those were added.
    plot_->addLayer(QStringLiteral("marks"), plot_->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] { showLevels(); });
    plot_->installEventFilter(this);
}

int GraphMarks::addLevel(double y, const QString &label, int colour)
{
    if (!std::isfinite(y))
        return kUiBadArgument;
    auto *line = new QCPItemStraightLine(plot_);
    line->point1->setCoords(0, y);
    line->point2->setCoords(1, y);
    line->setPen(QPen(colourOf(colour), 1.5, Qt::DashLine));
    auto *text = new QCPItemText(plot_);
    text->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    text->position->setCoords(1, y);
    text->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
    text->setPadding(QMargins(2, 0, 6, 1));
    text->setColor(colourOf(colour));
    text->setText(label);
    return keep({Kind::Level, 0, 0, y, label, colour, {line, text}});
}

int GraphMarks::addSpan(double t0, double t1, int colour)
{
    if (!std::isfinite(t0) || !std::isfinite(t1))
        return kUiBadArgument;
    auto *rect = new QCPItemRect(plot_);
    rect->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
    rect->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
    rect->setBrush(faded(colour, 48));
    // The edges show a span of no length.
    rect->setPen(QPen(faded(colour, 96), 1));
    const int handle = keep({Kind::Span, t0, t1, 0, {}, colour, {rect}});
    // Behind the curves, over the grid.
    rect->setLayer(QStringLiteral("grid"));
    setSpan(handle, t0, t1);
    return handle;
}

int GraphMarks::setSpan(int mark, double t0, double t1)
{
    const auto it = marks_.find(mark);
    if (it == marks_.end() || it->second.kind != Kind::Span)
        return kUiBadHandle;
    if (!std::isfinite(t0) || !std::isfinite(t1))
        return kUiBadArgument;
    Mark &m = it->second;
    m.x0 = std::min(t0, t1);
    m.x1 = std::max(t0, t1);
    auto *rect = static_cast<QCPItemRect *>(m.items.front());
    rect->topLeft->setCoords(m.x0, 0);
    rect->bottomRight->setCoords(m.x1, 1);
    plot_->replot(QCustomPlot::rpQueuedReplot);
    return 0;
}

int GraphMarks::addMarker(double t, double y, const QString &tooltip, int colour)
{
    if (!std::isfinite(t) || !std::isfinite(y))
        return kUiBadArgument;
    auto *ring = new QCPItemTracer(plot_);
    ring->position->setCoords(t, y);
    ring->setStyle(QCPItemTracer::tsCircle);
    ring->setSize(kMarkerSize);
    ring->setPen(QPen(colourOf(colour), 2));
    ring->setBrush(Qt::white);
    return keep({Kind::Marker, t, t, y, tooltip, colour, {ring}});
}

int GraphMarks::addNote(const QString &text)
{
    auto *note = new QCPItemText(plot_);
    note->position->setType(QCPItemPosition::ptAxisRectRatio);
    note->position->setCoords(0, 1);
    note->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
    note->setPadding(QMargins(4, 2, 4, 2));
    note->setBrush(QColor(255, 255, 255, 225));
    note->setPen(QPen(QColor(0xA0, 0xA0, 0xA0)));
    note->setText(text);
    return keep({Kind::Note, 0, 0, 0, text, 0, {note}});
}

int GraphMarks::remove(int mark)
{
    const auto drop = [this](const Mark &m) {
        for (QCPAbstractItem *item : m.items)
            plot_->removeItem(item);
    };
    if (mark == kAllMarks) {
        for (const auto &[handle, m] : marks_)
            drop(m);
        marks_.clear();
    } else {
        const auto it = marks_.find(mark);
        if (it == marks_.end())
            return kUiBadHandle;
        drop(it->second);
        marks_.erase(it);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
    return 0;
}

QString GraphMarks::tooltipAt(QPoint p) const
{
    const QRect area = plot_->axisRect()->rect();
    const QString *nearest = nullptr;
    double best = kReach;
    for (const auto &[handle, m] : marks_) {
        if (m.kind != Kind::Marker)
            continue;
        const QPointF at = static_cast<const QCPItemTracer *>(m.items.front())->position->pixelPosition();
        const double distance = std::hypot(at.x() - p.x(), at.y() - p.y());
        if (area.contains(at.toPoint()) && distance <= best) {
            best = distance;
            nearest = &m.text;
        }
    }
    return nearest ? *nearest : QString();
}

bool GraphMarks::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = tooltipAt(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, plot_);
    return true;
}

int GraphMarks::keep(Mark mark)
{
    for (QCPAbstractItem *item : mark.items) {
        item->setSelectable(false);
        item->setLayer(QStringLiteral("marks"));
    }
    const int handle = nextHandle_++;
    marks_.emplace(handle, std::move(mark));
    plot_->replot(QCustomPlot::rpQueuedReplot);
    return handle;
}

// Whatever moved the y axis (the program's scaling, autoscaling to new
// data, the operator zooming), a level beyond the range it shows is hidden
// before the picture is drawn, label and all.
void GraphMarks::showLevels()
{
    for (const auto &[handle, m] : marks_)
        if (m.kind == Kind::Level)
            for (QCPAbstractItem *item : m.items)
                item->setVisible(levelShows(m));
}

bool GraphMarks::levelShows(const Mark &m) const
{
    const QCPAxis *y = plot_->yAxis;
    if (y->scaleType() == QCPAxis::stLogarithmic && m.y <= 0)
        return false;
    return y->range().contains(m.y);
}

}  // namespace rte::ui

// The calls of userint.h.
namespace {

rte::ui::GraphMarks *marksOf(int panel, int control)
{
    rte::ui::Panel *p = rte::ui::engine().panel(panel);
    auto *graph = p ? dynamic_cast<rte::ui::GraphControl *>(p->control(control)) : nullptr;
    return graph ? &graph->marks() : nullptr;
}

}  // namespace

int AddGraphLevel(int panel, int control, double y, const char *label, int colour)
{
    rte::ui::GraphMarks *m = marksOf(panel, control);
    return m ? m->addLevel(y, rte::ui::fromCp1252(label ? label : ""), colour) : kUiBadHandle;
}

int AddGraphSpan(int panel, int control, double t0, double t1, int colour)
{
    rte::ui::GraphMarks *m = marksOf(panel, control);
    return m ? m->addSpan(t0, t1, colour) : kUiBadHandle;
}

int SetGraphSpan(int panel, int control, int mark, double t0, double t1)
{
    rte::ui::GraphMarks *m = marksOf(panel, control);
    return m ? m->setSpan(mark, t0, t1) : kUiBadHandle;
}

int AddGraphMarker(int panel, int control, double t, double y, const char *tooltip, int colour)
{
    rte::ui::GraphMarks *m = marksOf(panel, control);
    return m ? m->addMarker(t, y, rte::ui::fromCp1252(tooltip ? tooltip : ""), colour) : kUiBadHandle;
}

int AddGraphNote(int panel, int control, const char *text)
{
    rte::ui::GraphMarks *m = marksOf(panel, control);
    return m ? m->addNote(rte::ui::fromCp1252(text ? text : "")) : kUiBadHandle;
}

int DeleteGraphMark(int panel, int control, int mark)
{
    rte::ui::GraphMarks *m = marksOf(panel, control);
    return m ? m->remove(mark) : kUiBadHandle;
}
