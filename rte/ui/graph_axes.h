// The program's axes: what its calls ask of the time and the y axis (a
// fixed range or autoscaling, linear or logarithmic), and the range that
// makes of the data now.  Odd requests draw something sane: bounds that are
// not finite, reversed or empty ranges, a logarithmic range reaching 0.
#pragma once

#include <qcustomplot.h>

namespace rte::ui {

class MergedCurves;
class OperatorView;

class ProgramAxes {
public:
    // Starts from the panel file's ranges, both axes fixed and linear.
    ProgramAxes(QCustomPlot *plot, OperatorView &view, const MergedCurves &curves, const double (&xRange)[2],
                const double (&yRange)[2]);

    // Axis 0 is the time axis, 1 the y axis; mode 0 fixed, 1 autoscaled.
    // 0, or kUiBadArgument.
    int setScaling(int axis, int mode, double min, double max);
    // The y axis linear or logarithmic; true when that changed.
    bool setYLogarithmic(bool on);
    // The data changed: autoscaled axes take their range again.
    void dataChanged();
    // The ranges the program's axes show while the operator follows them.
    QCPRange range(int axis) const { return (axis == 0 ? x_ : y_).range; }

private:
    friend struct GraphInspection;

    // The program's side of an axis: what it asked for, applied again
    // whenever the mapping changes, and the range that makes of the data now.
    struct Axis {
        bool autoscale = false;
        bool logarithmic = false;
        double min = 0, max = 1;
        QCPRange range;
    };
    bool apply(QCPAxis *axis, Axis &r);
    void settle(QCPAxis *axis, Axis &r);

    QCustomPlot *plot_;
    OperatorView &view_;
    const MergedCurves &curves_;
    Axis x_, y_;
};

}  // namespace rte::ui
