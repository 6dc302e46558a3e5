#include "rte/ui/graph_axes.h"

#include "rte/ui/graph_curves.h"
#include "rte/ui/graph_view.h"
#include "rte/userint.h"

#include <algorithm>
#include <cmath>

namespace rte::ui {
namespace {

// Makes any requested range drawable: bounds that are not finite keep the
// previous ones, reversed bounds are swapped, an empty range is widened and
// a logarithmic range is kept above 0.
QCPRange drawableRange(bool logarithmic, double min, double max, const QCPRange &previous)
{
    if (!std::isfinite(min) || !std::isfinite(max))
        return previous;
    double lo = std::min(min, max), hi = std::max(min, max);
    if (logarithmic) {
        if (hi <= 0)
            return {1e-3, 1};
        if (lo <= 0)
            lo = hi * 1e-3;
        if (lo == hi)
            return {lo / 10, hi * 10};
    } else if (lo == hi) {
        const double half = std::max(std::abs(lo) * 0.05, 0.5);
        return {lo - half, hi + half};
    }
    return {lo, hi};
}

}  // namespace

ProgramAxes::ProgramAxes(QCustomPlot *plot, OperatorView &view, const MergedCurves &curves,
                         const double (&xRange)[2], const double (&yRange)[2])
    : plot_(plot), view_(view), curves_(curves)
{
    x_.min = xRange[0];
    x_.max = xRange[1];
    x_.range = plot_->xAxis->range();
    y_.min = yRange[0];
    y_.max = yRange[1];
    y_.range = plot_->yAxis->range();
    apply(plot_->xAxis, x_);
    apply(plot_->yAxis, y_);
}

int ProgramAxes::setScaling(int axis, int mode, double min, double max)
{
    if ((axis != kAxisTime && axis != kAxisY) || (mode != kScaleManual && mode != kScaleAuto))
        return kUiBadArgument;
    Axis &r = axis == kAxisTime ? x_ : y_;
    r.autoscale = mode == kScaleAuto;
    if (mode == kScaleManual) {
        r.min = min;
        r.max = max;
    }
    apply(axis == kAxisTime ? plot_->xAxis : plot_->yAxis, r);
    return 0;
}

bool ProgramAxes::setYLogarithmic(bool on)
{
    y_.logarithmic = on;
    return apply(plot_->yAxis, y_);
}

void ProgramAxes::dataChanged()
{
    if (x_.autoscale)
        settle(plot_->xAxis, x_);
    if (y_.autoscale)
        settle(plot_->yAxis, y_);
}

// The mapping shows at once even while the operator looks around: their
// range is kept, above 0 on a logarithmic axis.
bool ProgramAxes::apply(QCPAxis *axis, Axis &r)
{
    const bool wasLog = axis->scaleType() == QCPAxis::stLogarithmic;
    if (wasLog != r.logarithmic) {
        const auto engine = view_.engineSets();
        axis->setScaleType(r.logarithmic ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
    }
    settle(axis, r);
    return wasLog != r.logarithmic;
}

// Works the program's range out on the axis itself, so that QCustomPlot's
// own rules hold as they did before anyone could look around (it keeps a
// logarithmic range above 0, also when it autoscales), then gives the
// axis back to the operator if it is theirs.
void ProgramAxes::settle(QCPAxis *axis, Axis &r)
{
    const auto engine = view_.engineSets();
    const QCPRange view = axis->range();
    axis->setRange(r.range);
    if (!r.autoscale)
        axis->setRange(drawableRange(r.logarithmic, r.min, r.max, axis->range()));
    else if (!curves_.empty())
        axis->rescale();
    r.range = axis->range();
    if (!view_.following())
        axis->setRange(view);
}

}  // namespace rte::ui
