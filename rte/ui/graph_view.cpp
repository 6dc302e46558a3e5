#include "rte/ui/graph_view.h"

#include <qcustomplot.h>

namespace rte::ui {

OperatorView::OperatorView(QCustomPlot *plot, Graph graph)
    : plot_(plot), graph_(std::move(graph)),
      overlay_(plot_, {[this] { return plot_->axisRect()->rect(); }, graph_.readoutAt, [this] { backToLive(); },
                       [this](const QString &path, bool pdf) { return save(path, pdf); }})
{
    // Wheel zooms around the pointer, dragging pans.  The engine sets
    // ranges only under engineSets, so any other change is the operator's.
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->setCursor(Qt::CrossCursor);
    for (QCPAxis *a : {plot_->xAxis, plot_->yAxis})
        QObject::connect(a, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), &overlay_, [this] {
            if (!settingView_)
                lookAround();
        });
    QObject::connect(plot_, &QCustomPlot::afterReplot, &overlay_, [this] { overlay_.redrawn(); });
}

// The operator zoomed or panned: the view is theirs until they return.
void OperatorView::lookAround()
{
    if (!following_)
        return;
    following_ = false;
    overlay_.setLookingAround(true);
}

void OperatorView::backToLive()
{
    following_ = true;
    {
        const auto engine = engineSets();
        const auto [x, y] = graph_.programRanges();
        plot_->xAxis->setRange(x);
        plot_->yAxis->setRange(y);
    }
    overlay_.setLookingAround(false);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

// What the operator sees, without the overlay's widgets.
bool OperatorView::save(const QString &path, bool pdf)
{
    return pdf ? plot_->savePdf(path, 0, 0, QCP::epAllowCosmetic, QString(), plot_->accessibleName())
               : plot_->savePng(path);
}

}  // namespace rte::ui
