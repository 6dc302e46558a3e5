#include "rte/ui/graph.h"

#include "rte/ui/strip_chart.h"

namespace rte::ui {
namespace {

// QCustomPlot makes its images anew at the size of its viewport whenever
// its layers change, and a new widget's viewport is 640 x 480 until it is
// first shown: adding a layer then filled 1.2 MB for nothing on the way to
// the first paint.  Empty until then; being shown sets the real one.
QCustomPlot *newPlot()
{
    auto *plot = new QCustomPlot;
    plot->setViewport(QRect());
    return plot;
}

}  // namespace

StripChart::StripChart(Panel &panel, const ControlSpec &desc)
    : GraphControl(panel, desc), plot_(newPlot()), labels_(plot_, desc.xLabel, desc.yLabel), curves_(plot_),
      view_(plot_, {[this](QPoint p) { return labels_.readoutAt(p); },
                    [this] { return std::pair{axes_.range(0), axes_.range(1)}; }}),
      axes_(plot_, view_, curves_, desc.xRange, desc.yRange), marks_(plot_)
{
    plot_->setAccessibleName(desc.caption);
    plot_->setFocusPolicy(Qt::TabFocus);
    plot_->setMinimumSize(320, 200);
    plot_->setNotAntialiasedElements(QCP::aePlottables);
    // The overlay layer holds only a selection rectangle, which this graph
    // never draws; buffered, it costs a cleared and blended image of the
    // graph's size at every redraw, that is at every cycle.
    plot_->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    QObject::connect(plot_, &QCustomPlot::afterReplot, plot_, [this] { drawnFrame_ = frame(); });
}

StripChart::Frame StripChart::frame() const
{
    return {plot_->viewport(), plot_->xAxis->range(), plot_->yAxis->range(), plot_->yAxis->scaleType()};
}

int StripChart::setAttribute(int attribute, double value)
{
    const std::optional<int> whole = toInt(value);
    if (!whole)
        return kUiBadArgument;
    const int v = *whole;
    switch (attribute) {
    case kAttrYMapping:
        if (v != kMappingLinear && v != kMappingLog)
            return kUiBadArgument;
        if (axes_.setYLogarithmic(v == kMappingLog))
            labels_.setYLabels();
        break;
    case kAttrRefreshAtOnce:
        refreshAtOnce_ = v != 0;
        return 0;
    default: {
        const std::optional<int> status = labels_.setAttribute(attribute, v);
        if (!status)
            return Control::setAttribute(attribute, value);
        if (*status != 0)
            return *status;
    }
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
    return 0;
}

int StripChart::addPlot(std::span<const double> x, std::span<const double> y, const PlotStyle &style)
{
    const int handle = curves_.add(x, y, style);
    redraw(refreshAtOnce_);
    return handle;
}

int StripChart::deletePlot(int plot, bool refresh)
{
    if (const int status = curves_.remove(plot); status != 0)
        return status;
    redraw(refresh);
    return 0;
}

int StripChart::setAxisScaling(int axis, int mode, double min, double max)
{
    if (const int status = axes_.setScaling(axis, mode, min, max); status != 0)
        return status;
    plot_->replot(QCustomPlot::rpQueuedReplot);
    return 0;
}

void StripChart::redraw(bool atOnce)
{
    axes_.dataChanged();
    if (!atOnce) {
        plot_->replot(QCustomPlot::rpQueuedReplot);
    } else if (drawnFrame_ == frame()) {
        // A cycle that only adds a point redraws the curves alone, on an
        // image of their own, not the grid, the axes and their labels,
        // which cost as much again.  The image is made here, not at the
        // start, where two more images of the graph's size to fill slow the
        // first paint.  Anything else that changed since has queued a whole
        // redraw; so does the new image.
        QCPLayer *curves = plot_->layer(QStringLiteral("main"));
        curves->setMode(QCPLayer::lmBuffered);
        curves->replot();
        plot_->repaint();
    } else {
        plot_->replot(QCustomPlot::rpImmediateRefresh);
    }
}

std::unique_ptr<Control> makeGraph(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<StripChart>(panel, desc);
}

}  // namespace rte::ui
