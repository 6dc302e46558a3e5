// The graph control: a strip chart of plots added and deleted by handle.
// The operator may zoom and pan it to look around; the program's axes then
// go on following its calls unseen until the operator returns to them.
#pragma once

#include "rte/ui/controls.h"

#include <memory>
#include <span>

namespace rte::ui {

class GraphMarks;

struct PlotStyle {
    int plotStyle = 5;
    int pointStyle = 0;
    int lineStyle = 0;
    int colour = 0;
    bool operator==(const PlotStyle &) const = default;
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
    // What the program lays over its plots (AddGraphLevel and the others).
    virtual GraphMarks &marks() = 0;
};

std::unique_ptr<Control> makeGraph(Panel &panel, const ControlSpec &desc);

}  // namespace rte::ui
