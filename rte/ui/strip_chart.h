// The graph control as the engine builds it: the curves that draw the
// program's plots, the program's axes, their labels, the operator's view and
// the program's marks, on one QCustomPlot.
#pragma once

#include "rte/ui/graph.h"
#include "rte/ui/graph_axes.h"
#include "rte/ui/graph_curves.h"
#include "rte/ui/graph_labels.h"
#include "rte/ui/graph_marks.h"
#include "rte/ui/graph_view.h"

#include <optional>

namespace rte::ui {

class StripChart final : public GraphControl {
public:
    StripChart(Panel &panel, const ControlSpec &desc);

    QWidget *widget() const override { return plot_; }
    int setAttribute(int attribute, double value) override;
    int addPlot(std::span<const double> x, std::span<const double> y, const PlotStyle &style) override;
    int deletePlot(int plot, bool refresh) override;
    int setAxisScaling(int axis, int mode, double min, double max) override;
    GraphMarks &marks() override { return marks_; }

private:
    friend struct GraphInspection;

    void redraw(bool atOnce);
    // What the last whole redraw drew the curves against.
    struct Frame {
        QRect viewport;
        QCPRange x, y;
        QCPAxis::ScaleType yScale = QCPAxis::stLinear;
        bool operator==(const Frame &) const = default;
    };
    Frame frame() const;

    QCustomPlot *plot_;
    AxisLabels labels_;
    MergedCurves curves_;
    OperatorView view_;
    ProgramAxes axes_;
    GraphMarks marks_;
    bool refreshAtOnce_ = false;
    std::optional<Frame> drawnFrame_;
};

}  // namespace rte::ui
