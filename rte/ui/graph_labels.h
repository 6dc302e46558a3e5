// How the graph's axes are labelled: the captions from the panel file, the
// time axis in seconds or minutes:seconds, the y axis plain or scientific,
// and the readout of a point under the pointer in the same terms.
#pragma once

#include <QPoint>
#include <QString>

#include <optional>

class QCustomPlot;

namespace rte::ui {

class AxisLabels {
public:
    AxisLabels(QCustomPlot *plot, const QString &xCaption, const QString &yCaption);

    // The label attributes of the graph: 0 or kUiBadArgument for one of
    // them, nothing for any other attribute.
    std::optional<int> setAttribute(int attribute, int value);
    // The y axis changed between linear and logarithmic: its ticks follow.
    void setYLabels();
    // "t = ..., y = ..." at a point of the plot area; empty outside it.
    QString readoutAt(QPoint p) const;

private:
    void setTimeLabels();

    QCustomPlot *plot_;
    bool scientific_ = false, minutes_ = false;
    int timeDigits_ = 0;
};

}  // namespace rte::ui
