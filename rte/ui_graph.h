// The graph control: a strip chart of plots added and deleted by handle.
// The operator may zoom and pan it to look around; the program's axes then
// go on following its calls unseen until the operator returns to them.
#pragma once

#include "rte/ui_controls.h"

#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace rte::ui {

struct PlotStyle {
    int plotStyle = 5;
    int pointStyle = 0;
    int lineStyle = 0;
    int colour = 0;
    bool operator==(const PlotStyle &) const = default;
};

struct AxisState {
    double min = 0, max = 0;
    bool autoscale = false;
    bool logarithmic = false;
};

class GraphControl : public Control {
public:
    using Control::Control;
    // Points with a coordinate that is not finite are left out.  Returns
    // the new plot's handle.
    virtual int addPlot(std::span<const double> x, std::span<const double> y, const PlotStyle &style) = 0;
    // plot -1: every plot.
    virtual int deletePlot(int plot, bool refresh) = 0;
    virtual int setAxisScaling(int axis, int mode, double min, double max) = 0;

    // Inspection for tests and the benchmark.
    virtual int plotCount() const = 0;
    // Curves actually drawn, after merging.
    virtual int curveCount() const = 0;
    virtual std::vector<std::pair<double, double>> plotPoints(int plot) const = 0;
    // The handle of the plot added last; 0 before the first.
    virtual int lastPlot() const = 0;
    // The program's axes: what its requests make of the data.
    virtual AxisState axis(int axis) const = 0;
    // The range shown: the program's axes while the graph follows them, the
    // operator's own while they look around.
    virtual std::pair<double, double> view(int axis) const = 0;
    virtual bool following() const = 0;
    // Where the point (t, y) is shown, in the widget's pixels.
    virtual std::pair<int, int> pixelAt(double t, double y) const = 0;
    // The readout of the point under the pointer; empty while none shows.
    virtual QString readout() const = 0;
    // Off draws every plot as a curve of its own, the naive way.
    virtual void setMerging(bool on) = 0;
};

std::unique_ptr<Control> makeGraph(Panel &panel, const ControlSpec &desc);

}  // namespace rte::ui
