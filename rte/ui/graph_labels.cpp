#include "rte/ui/graph_labels.h"

#include "rte/ui/controls.h"

#include <qcustomplot.h>

#include <cmath>

namespace rte::ui {
namespace {


// A time as the time axis labels it: seconds, or minutes:seconds.
QString timeText(double seconds, bool minutes)
{
    if (!minutes)
        return QString::number(seconds, 'f', 1) + QStringLiteral(" s");
    const double tenths = std::round(std::abs(seconds) * 10), whole = std::floor(tenths / 600);
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 && tenths > 0 ? QStringLiteral("-") : QString())
        .arg(whole, 0, 'f', 0)
        .arg((tenths - whole * 600) / 10, 4, 'f', 1, QLatin1Char('0'));
}

}  // namespace

AxisLabels::AxisLabels(QCustomPlot *plot, const QString &xCaption, const QString &yCaption) : plot_(plot)
{
    plot_->xAxis->setLabel(xCaption);
    plot_->yAxis->setLabel(yCaption);
    plot_->axisRect()->setupFullAxesBox();
    QFont font = plot_->font();
    font.setPointSizeF(font.pointSizeF() * 1.1);
    for (QCPAxis *a : {plot_->xAxis, plot_->yAxis}) {
        a->setTickLabelFont(font);
        a->setLabelFont(font);
        a->grid()->setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 0, Qt::DotLine));
    }
    setTimeLabels();
    setYLabels();
}

std::optional<int> AxisLabels::setAttribute(int attribute, int v)
{
    switch (attribute) {
    case kAttrYLabelFormat:
        if (v != kPlainLabels && v != kScientificLabels)
            return kUiBadArgument;
        scientific_ = v == kScientificLabels;
        setYLabels();
        break;
    case kAttrTimeLabelForm:
        if (v != kTimeSeconds && v != kTimeMinutes)
            return kUiBadArgument;
        minutes_ = v == kTimeMinutes;
        setTimeLabels();
        break;
    case kAttrTimeLabelDigits:
        if (v < 0 || v > 15)
            return kUiBadArgument;
        timeDigits_ = v;
        setTimeLabels();
        break;
    case kAttrGrid:
        for (QCPAxis *a : {plot_->xAxis, plot_->yAxis})
            a->grid()->setVisible(v != 0);
        break;
    default:
        return std::nullopt;
    }
    return 0;
}

QString AxisLabels::readoutAt(QPoint p) const
{
    if (!plot_->axisRect()->rect().contains(p))
        return {};
    return QStringLiteral("t = %1, y = %2")
        .arg(timeText(plot_->xAxis->pixelToCoord(p.x()), minutes_),
             QString::number(plot_->yAxis->pixelToCoord(p.y()), 'g', 4));
}

void AxisLabels::setYLabels()
{
    QCPAxis *y = plot_->yAxis;
    if (y->scaleType() == QCPAxis::stLogarithmic)
        y->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
    else
        y->setTicker(QSharedPointer<QCPAxisTicker>::create());
    y->setNumberFormat(scientific_ ? QStringLiteral("eb") : QStringLiteral("g"));
    y->setNumberPrecision(scientific_ ? 1 : 6);
}

void AxisLabels::setTimeLabels()
{
    QCPAxis *x = plot_->xAxis;
    if (minutes_) {
        auto ticker = QSharedPointer<QCPAxisTickerTime>::create();
        ticker->setTimeFormat(timeDigits_ > 0 ? QStringLiteral("%m:%s.%z") : QStringLiteral("%m:%s"));
        x->setTicker(ticker);
    } else {
        x->setTicker(QSharedPointer<QCPAxisTicker>::create());
        x->setNumberFormat(QStringLiteral("f"));
        x->setNumberPrecision(timeDigits_);
    }
}

}  // namespace rte::ui
