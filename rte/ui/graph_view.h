// The operator's view of the graph: wheel zoom and drag pan to look around,
// the overlay's readout, Live view and saving, and the way back to the
// program's axes.  While the operator looks around, the program's axes go on
// following its calls unseen.
#pragma once

#include "rte/ui/graph_overlay.h"

#include <QScopedValueRollback>

#include <functional>
#include <utility>

class QCPRange;
class QCustomPlot;

namespace rte::ui {

class OperatorView {
public:
    struct Graph {
        // The readout for a pointer position; empty outside the data.
        std::function<QString(QPoint)> readoutAt;
        // The program's ranges of the time and the y axis, to return to.
        std::function<std::pair<QCPRange, QCPRange>()> programRanges;
    };
    OperatorView(QCustomPlot *plot, Graph graph);

    // False while the operator looks around.
    bool following() const { return following_; }
    // Range changes made while one lives are the engine's own, not the
    // operator's looking around.
    QScopedValueRollback<bool> engineSets() { return QScopedValueRollback<bool>(settingView_, true); }

private:
    friend struct GraphInspection;

    void lookAround();
    void backToLive();
    bool save(const QString &path, bool pdf);

    QCustomPlot *plot_;
    Graph graph_;
    GraphOverlay overlay_;
    bool following_ = true, settingView_ = false;
};

}  // namespace rte::ui
