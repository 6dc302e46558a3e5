#include "rte/ui/graph_curves.h"

#include "rte/userint.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace rte::ui {
namespace {

Qt::PenStyle lineStyle(int code)
{
    switch (code) {
    case kLineDash: return Qt::DashLine;
    case kLineDot: return Qt::DotLine;
    case kLineDashDot: return Qt::DashDotLine;
    case kLineDashDotDot: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}

bool solid(const PlotStyle &style) { return lineStyle(style.lineStyle) == Qt::SolidLine; }

}  // namespace

int MergedCurves::add(std::span<const double> x, std::span<const double> y, const PlotStyle &style)
{
    std::vector<Point> points;
    points.reserve(x.size());
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
        if (std::isfinite(x[i]) && std::isfinite(y[i]))
            points.push_back({x[i], y[i]});
    const int handle = nextHandle_++;
    refs_.insert(handle, points.empty() ? PlotRef{} : place(points, style));
    return handle;
}

int MergedCurves::remove(int plot)
{
    if (plot == -1) {
        for (auto &[id, curve] : curves_)
            plot_->removePlottable(curve.curve);
        curves_.clear();
        refs_.clear();
        lastCurve_ = 0;
        return 0;
    }
    const std::optional<PlotRef> ref = refs_.find(plot);
    if (!ref)
        return kUiBadHandle;
    refs_.erase(plot);
    if (ref->curve != 0)
        regroup(ref->curve);
    return 0;
}

MergedCurves::Point MergedCurves::at(const Curve &c, int i)
{
    const auto p = c.curve->data()->at(i);
    return {p->key, p->value};
}

// Puts the points on the screen.  When they continue the curve that took
// the previous plot (they start on it and run along it to its end), only
// the new points are added to that curve: the union of both polylines is
// the longer polyline, so the picture is the same while the memory and
// the drawing grow by the new points alone.
PlotRef MergedCurves::place(const std::vector<Point> &points, const PlotStyle &style)
{
    const auto last = curves_.find(lastCurve_);
    // Dashes would restart at every plot's first point; only solid lines
    // look the same joined.
    if (merging_ && last != curves_.end() && last->second.style == style && solid(style)) {
        Curve &c = last->second;
        const int m = c.curve->dataCount(), n = static_cast<int>(points.size());
        // Grown by some points, shifted by one point, or the same again.
        for (int k : {0, m - n + 1, m - n}) {
            if (k < 0 || k >= m || !continues(c, k, points))
                continue;
            for (int i = m - k; i < n; ++i)
                c.curve->addData(static_cast<double>(k + i), points[i].x, points[i].y);
            return {lastCurve_, k, n};
        }
    }
    const int id = nextCurve_++;
    curves_[id] = newCurve(style, points, 0, static_cast<int>(points.size()));
    lastCurve_ = id;
    return {id, 0, static_cast<int>(points.size())};
}

bool MergedCurves::continues(const Curve &c, int k, const std::vector<Point> &points)
{
    const int overlap = std::min<int>(c.curve->dataCount() - k, static_cast<int>(points.size()));
    for (int i = 0; i < overlap; ++i)
        if (!(at(c, k + i) == points[i]))
            return false;
    return true;
}

MergedCurves::Curve MergedCurves::newCurve(const PlotStyle &style, const std::vector<Point> &points, int from,
                                           int to)
{
    auto *curve = new QCPCurve(plot_->xAxis, plot_->yAxis);
    // Flat ends: a plot that ends where a longer one goes on then adds
    // no pixel of its own, so joined plots draw what separate ones do.
    curve->setPen(QPen(QColor(static_cast<QRgb>(style.colour & 0xFFFFFF)), 1, lineStyle(style.lineStyle),
                       Qt::FlatCap));
    curve->setLineStyle(QCPCurve::lsLine);
    for (int i = from; i < to; ++i)
        curve->addData(static_cast<double>(i - from), points[i].x, points[i].y);
    return {curve, style};
}

// After a single plot went: the curve keeps the points that the other
// plots on it still draw.  Plots that no longer share a point with each
// other get curves of their own, so that no line joins them.
void MergedCurves::regroup(int id)
{
    const Curve old = curves_.at(id);
    std::vector<std::pair<int, PlotRef>> members = refs_.onCurve(id);
    refs_.eraseCurve(id);
    curves_.erase(id);
    if (lastCurve_ == id)
        lastCurve_ = 0;
    std::vector<Point> points(static_cast<std::size_t>(old.curve->dataCount()));
    for (int i = 0; i < old.curve->dataCount(); ++i)
        points[static_cast<std::size_t>(i)] = at(old, i);
    plot_->removePlottable(old.curve);

    std::sort(members.begin(), members.end(),
              [](const auto &a, const auto &b) { return a.second.start < b.second.start; });
    for (std::size_t i = 0; i < members.size();) {
        // A group: plots whose point ranges overlap in at least one point.
        const int from = members[i].second.start;
        int to = from + members[i].second.length;
        std::size_t j = i;
        while (j < members.size() && members[j].second.start < to) {
            to = std::max(to, members[j].second.start + members[j].second.length);
            ++j;
        }
        const int group = nextCurve_++;
        curves_[group] = newCurve(old.style, points, from, to);
        for (; i < j; ++i)
            refs_.insert(members[i].first, {group, members[i].second.start - from, members[i].second.length});
    }
}

}  // namespace rte::ui
