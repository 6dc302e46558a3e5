// The plots of the graph and the curves that draw them.  The program adds a
// plot of its whole history per cycle, each the previous one grown or
// shifted by a point: such a plot joins the curve of the one before instead
// of becoming a curve of its own, so memory and drawing stay bounded however
// many pile up, while the picture stays that of every plot drawn.
#pragma once

#include "rte/ui/graph.h"
#include "rte/ui/plot_refs.h"

#include <map>
#include <span>
#include <vector>

class QCPCurve;
class QCustomPlot;

namespace rte::ui {

class MergedCurves {
public:
    explicit MergedCurves(QCustomPlot *plot) : plot_(plot) {}

    // Points with a coordinate that is not finite are left out.  Returns
    // the new plot's handle.
    int add(std::span<const double> x, std::span<const double> y, const PlotStyle &style);
    // plot -1: every plot.  0, or kUiBadHandle for a handle not alive.
    int remove(int plot);
    // Nothing drawn.
    bool empty() const { return curves_.empty(); }

private:
    friend struct GraphInspection;

    struct Point {
        double x, y;
        bool operator==(const Point &) const = default;
    };
    struct Curve {
        QCPCurve *curve;
        PlotStyle style;
    };

    static Point at(const Curve &c, int i);
    PlotRef place(const std::vector<Point> &points, const PlotStyle &style);
    static bool continues(const Curve &c, int k, const std::vector<Point> &points);
    Curve newCurve(const PlotStyle &style, const std::vector<Point> &points, int from, int to);
    void regroup(int id);

    QCustomPlot *plot_;
    std::map<int, Curve> curves_;
    PlotRefs refs_;
    int nextHandle_ = 1, nextCurve_ = 1, lastCurve_ = 0;
    // Off draws every plot as a curve of its own, the naive way.
    bool merging_ = true;
};

}  // namespace rte::ui
