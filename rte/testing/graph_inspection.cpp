// The graph as tests and benchmarks see it: the plots behind the curves,
// the program's axes and the operator's view.
#include "rte/testing/testing.h"
#include "rte/ui/engine.h"
#include "rte/ui/panel.h"
#include "rte/ui/strip_chart.h"
#include "rte/ui/text.h"

#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

namespace rte::ui {

struct GraphInspection {
    static StripChart *chart(int panel, int number)
    {
        Panel *p = engine().panel(panel);
        return p ? dynamic_cast<StripChart *>(p->control(number)) : nullptr;
    }

    static const MergedCurves &curves(const StripChart &c) { return c.curves_; }
    static void setMerging(StripChart &c, bool on) { c.curves_.merging_ = on; }
    static int plotCount(const MergedCurves &m) { return m.refs_.size(); }
    static int curveCount(const MergedCurves &m) { return static_cast<int>(m.curves_.size()); }
    static int lastPlot(const MergedCurves &m) { return m.nextHandle_ - 1; }
    static std::vector<std::pair<double, double>> plotPoints(const MergedCurves &m, int plot)
    {
        std::vector<std::pair<double, double>> out;
        const std::optional<PlotRef> ref = m.refs_.find(plot);
        if (!ref || ref->curve == 0)
            return out;
        const MergedCurves::Curve &curve = m.curves_.at(ref->curve);
        for (int i = ref->start; i < ref->start + ref->length; ++i) {
            const MergedCurves::Point p = MergedCurves::at(curve, i);
            out.emplace_back(p.x, p.y);
        }
        return out;
    }

    static testing::GraphAxis axis(const StripChart &c, int axis)
    {
        const ProgramAxes::Axis &r = axis == 0 ? c.axes_.x_ : c.axes_.y_;
        return {r.range.lower, r.range.upper, r.autoscale, r.logarithmic};
    }
    static testing::GraphView view(const StripChart &c, int axis)
    {
        const QCPRange shown = (axis == 0 ? c.plot_->xAxis : c.plot_->yAxis)->range();
        return {shown.lower, shown.upper, c.view_.following()};
    }
    static std::pair<int, int> pixelAt(const StripChart &c, double t, double y)
    {
        return {qRound(c.plot_->xAxis->coordToPixel(t)), qRound(c.plot_->yAxis->coordToPixel(y))};
    }
    static std::vector<testing::GraphMark> marks(StripChart &c)
    {
        // Levels settle their visibility as the picture is drawn.
        c.plot_->replot();
        std::vector<testing::GraphMark> out;
        for (const auto &[handle, m] : c.marks_.marks_) {
            const auto kind = static_cast<testing::MarkKind>(static_cast<int>(m.kind));
            out.push_back({kind, m.x0, m.x1, m.y, ui::toCp1252(m.text), m.colour, m.items.front()->visible()});
        }
        return out;
    }
    static QWidget *widget(const StripChart &c) { return c.plot_; }
    // Empty while no readout shows.
    static QString readout(const StripChart &c)
    {
        const QLabel *label = c.view_.overlay_.readout_;
        return label->isHidden() ? QString() : label->text();
    }
};

}  // namespace rte::ui

namespace rte::testing {

using rte::ui::GraphInspection;

int plotCount(int panel, int number)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::plotCount(GraphInspection::curves(*c)) : 0;
}

int drawnCurveCount(int panel, int number)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::curveCount(GraphInspection::curves(*c)) : 0;
}

std::vector<std::pair<double, double>> plotPoints(int panel, int number, int plot)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::plotPoints(GraphInspection::curves(*c), plot)
             : std::vector<std::pair<double, double>>{};
}

int lastPlot(int panel, int number)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::lastPlot(GraphInspection::curves(*c)) : 0;
}

GraphAxis graphAxis(int panel, int number, int axis)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::axis(*c, axis) : GraphAxis{0, 0, false, false};
}

void setPlotMerging(int panel, int number, bool on)
{
    if (auto *c = GraphInspection::chart(panel, number))
        GraphInspection::setMerging(*c, on);
}

GraphView graphView(int panel, int number, int axis)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::view(*c, axis) : GraphView{0, 0, false};
}

std::pair<int, int> graphPixel(int panel, int number, double t, double y)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::pixelAt(*c, t, y) : std::pair{0, 0};
}

std::string graphReadout(int panel, int number)
{
    const auto *c = GraphInspection::chart(panel, number);
    return c ? ui::toCp1252(GraphInspection::readout(*c)) : std::string();
}

std::vector<GraphMark> graphMarks(int panel, int number)
{
    auto *c = GraphInspection::chart(panel, number);
    return c ? GraphInspection::marks(*c) : std::vector<GraphMark>{};
}

std::string graphTooltip(int panel, int number, int x, int y)
{
    const auto *c = GraphInspection::chart(panel, number);
    if (!c)
        return {};
    // A tooltip lingers a moment after it is hidden; the answer must be
    // this request's alone.
    QToolTip::hideText();
    waitUntil([] { return !QToolTip::isVisible(); }, 10);
    QWidget *graph = GraphInspection::widget(*c);
    const QPoint at(x, y);
    QHelpEvent event(QEvent::ToolTip, at, graph->mapToGlobal(at));
    QCoreApplication::sendEvent(graph, &event);
    return QToolTip::isVisible() ? ui::toCp1252(QToolTip::text()) : std::string();
}

}  // namespace rte::testing
