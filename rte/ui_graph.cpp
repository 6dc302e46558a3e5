// The only file that sees QCustomPlot.
#include "rte/ui_graph.h"

#include "rte/ui_graph_overlay.h"
#include "rte/ui_panel.h"
#include "rte/ui_plot_refs.h"

#include <qcustomplot.h>

#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>
#include <map>

namespace rte::ui {
namespace {

struct Point {
    double x, y;
    bool operator==(const Point &) const = default;
};

// The program's side of an axis: what it asked for, applied again whenever
// the mapping changes, and the range that makes of the data now.
struct ProgramAxis {
    bool autoscale = false;
    bool logarithmic = false;
    double min = 0, max = 1;
    QCPRange range;
};

// Makes any requested range drawable: bounds that are not finite keep the
// previous ones, reversed bounds are swapped, an empty range is widened and
// a logarithmic range is kept above 0.
QCPRange drawableRange(const ProgramAxis &r, const QCPRange &previous)
{
    if (!std::isfinite(r.min) || !std::isfinite(r.max))
        return previous;
    double lo = std::min(r.min, r.max), hi = std::max(r.min, r.max);
    if (r.logarithmic) {
        if (hi <= 0)
            return {1e-3, 1};
        if (lo <= 0)
            lo = hi * 1e-3;
        if (lo == hi)
            return {lo / 10, hi * 10};
    } else if (lo == hi) {
        const double half = std::max(std::abs(lo) * 0.05, 0.5);
        return {lo - half, hi + half};
    }
    return {lo, hi};
}

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

class StripChart final : public GraphControl {
public:
    StripChart(Panel &panel, const ControlSpec &desc)
        : GraphControl(panel, desc), plot_(new QCustomPlot),
          overlay_(plot_, {[this] { return plot_->axisRect()->rect(); },
                           [this](QPoint p) { return readoutAt(p); },
                           [this] { backToLive(); },
                           [this](const QString &path, bool pdf) { return save(path, pdf); }})
    {
        plot_->setAccessibleName(desc.caption);
        plot_->setFocusPolicy(Qt::TabFocus);
        plot_->setMinimumSize(320, 200);
        plot_->setNotAntialiasedElements(QCP::aePlottables);
        plot_->xAxis->setLabel(desc.xLabel);
        plot_->yAxis->setLabel(desc.yLabel);
        plot_->axisRect()->setupFullAxesBox();
        QFont font = plot_->font();
        font.setPointSizeF(font.pointSizeF() * 1.1);
        for (QCPAxis *a : {plot_->xAxis, plot_->yAxis}) {
            a->setTickLabelFont(font);
            a->setLabelFont(font);
            a->grid()->setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 0, Qt::DotLine));
        }
        x_.min = desc.xRange[0];
        x_.max = desc.xRange[1];
        x_.range = plot_->xAxis->range();
        y_.min = desc.yRange[0];
        y_.max = desc.yRange[1];
        y_.range = plot_->yAxis->range();
        setTimeLabels();
        setYLabels();
        apply(plot_->xAxis, x_);
        apply(plot_->yAxis, y_);

        // Wheel zooms around the pointer, dragging pans.  The engine sets
        // ranges only under settingView_, so any other change is the
        // operator's.
        plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
        plot_->setCursor(Qt::CrossCursor);
        for (QCPAxis *a : {plot_->xAxis, plot_->yAxis})
            QObject::connect(a, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), &overlay_, [this] {
                if (!settingView_)
                    lookAround();
            });
        QObject::connect(plot_, &QCustomPlot::afterReplot, &overlay_, [this] { overlay_.redrawn(); });
    }

    QWidget *widget() const override { return plot_; }

    int setAttribute(int attribute, double value) override
    {
        const std::optional<int> whole = toInt(value);
        if (!whole)
            return kUiBadArgument;
        const int v = *whole;
        switch (attribute) {
        case kAttrYMapping:
            if (v != kMappingLinear && v != kMappingLog)
                return kUiBadArgument;
            y_.logarithmic = v == kMappingLog;
            apply(plot_->yAxis, y_);
            break;
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
        case kAttrRefreshAtOnce:
            refreshAtOnce_ = v != 0;
            return 0;
        default:
            return Control::setAttribute(attribute, value);
        }
        plot_->replot(QCustomPlot::rpQueuedReplot);
        return 0;
    }

    int addPlot(std::span<const double> x, std::span<const double> y, const PlotStyle &style) override
    {
        std::vector<Point> points;
        points.reserve(x.size());
        for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
            if (std::isfinite(x[i]) && std::isfinite(y[i]))
                points.push_back({x[i], y[i]});
        const int handle = nextHandle_++;
        refs_.insert(handle, points.empty() ? PlotRef{} : place(points, style));
        redraw(refreshAtOnce_);
        return handle;
    }

    int deletePlot(int plot, bool refresh) override
    {
        if (plot == -1) {
            for (auto &[id, curve] : curves_)
                plot_->removePlottable(curve.curve);
            curves_.clear();
            refs_.clear();
            lastCurve_ = 0;
        } else {
            const std::optional<PlotRef> ref = refs_.find(plot);
            if (!ref)
                return kUiBadHandle;
            refs_.erase(plot);
            if (ref->curve != 0)
                regroup(ref->curve);
        }
        redraw(refresh);
        return 0;
    }

    int setAxisScaling(int axis, int mode, double min, double max) override
    {
        if ((axis != kAxisTime && axis != kAxisY) || (mode != kScaleManual && mode != kScaleAuto))
            return kUiBadArgument;
        ProgramAxis &r = axis == kAxisTime ? x_ : y_;
        r.autoscale = mode == kScaleAuto;
        if (mode == kScaleManual) {
            r.min = min;
            r.max = max;
        }
        apply(axis == 0 ? plot_->xAxis : plot_->yAxis, r);
        plot_->replot(QCustomPlot::rpQueuedReplot);
        return 0;
    }

    int plotCount() const override { return refs_.size(); }
    int curveCount() const override { return static_cast<int>(curves_.size()); }

    std::vector<std::pair<double, double>> plotPoints(int plot) const override
    {
        std::vector<std::pair<double, double>> out;
        const std::optional<PlotRef> ref = refs_.find(plot);
        if (!ref || ref->curve == 0)
            return out;
        const auto &data = *curves_.at(ref->curve).curve->data();
        for (int i = ref->start; i < ref->start + ref->length; ++i)
            out.emplace_back(data.at(i)->key, data.at(i)->value);
        return out;
    }

    int lastPlot() const override { return nextHandle_ - 1; }

    AxisState axis(int axis) const override
    {
        const ProgramAxis &r = axis == 0 ? x_ : y_;
        return {r.range.lower, r.range.upper, r.autoscale, r.logarithmic};
    }

    std::pair<double, double> view(int axis) const override
    {
        const QCPRange shown = (axis == 0 ? plot_->xAxis : plot_->yAxis)->range();
        return {shown.lower, shown.upper};
    }

    bool following() const override { return following_; }

    std::pair<int, int> pixelAt(double t, double y) const override
    {
        return {qRound(plot_->xAxis->coordToPixel(t)), qRound(plot_->yAxis->coordToPixel(y))};
    }

    QString readout() const override { return overlay_.readout(); }

    void setMerging(bool on) override { merging_ = on; }

private:
    struct Curve {
        QCPCurve *curve;
        PlotStyle style;
    };

    static Point at(const Curve &c, int i)
    {
        const auto p = c.curve->data()->at(i);
        return {p->key, p->value};
    }

    // Puts the points on the screen.  When they continue the curve that took
    // the previous plot (they start on it and run along it to its end), only
    // the new points are added to that curve: the union of both polylines is
    // the longer polyline, so the picture is the same while the memory and
    // the drawing grow by the new points alone.
    PlotRef place(const std::vector<Point> &points, const PlotStyle &style)
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

    static bool continues(const Curve &c, int k, const std::vector<Point> &points)
    {
        const int overlap = std::min<int>(c.curve->dataCount() - k, static_cast<int>(points.size()));
        for (int i = 0; i < overlap; ++i)
            if (!(at(c, k + i) == points[i]))
                return false;
        return true;
    }

    static bool solid(const PlotStyle &style) { return lineStyle(style.lineStyle) == Qt::SolidLine; }

    static Qt::PenStyle lineStyle(int code)
    {
        switch (code) {
        case kLineDash: return Qt::DashLine;
        case kLineDot: return Qt::DotLine;
        case kLineDashDot: return Qt::DashDotLine;
        case kLineDashDotDot: return Qt::DashDotDotLine;
        default: return Qt::SolidLine;
        }
    }

    template <typename Points>
    Curve newCurve(const PlotStyle &style, const Points &points, int from, int to)
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
    void regroup(int id)
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

    void redraw(bool atOnce)
    {
        if (x_.autoscale)
            settle(plot_->xAxis, x_);
        if (y_.autoscale)
            settle(plot_->yAxis, y_);
        plot_->replot(atOnce ? QCustomPlot::rpImmediateRefresh : QCustomPlot::rpQueuedReplot);
    }

    // The mapping shows at once even while the operator looks around: their
    // range is kept, above 0 on a logarithmic axis.
    void apply(QCPAxis *axis, ProgramAxis &r)
    {
        const bool wasLog = axis->scaleType() == QCPAxis::stLogarithmic;
        if (wasLog != r.logarithmic) {
            const QScopedValueRollback<bool> engine(settingView_, true);
            axis->setScaleType(r.logarithmic ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
            if (axis == plot_->yAxis)
                setYLabels();
        }
        settle(axis, r);
    }

    // Works the program's range out on the axis itself, so that QCustomPlot's
    // own rules hold as they did before anyone could look around (it keeps a
    // logarithmic range above 0, also when it autoscales), then gives the
    // axis back to the operator if it is theirs.
    void settle(QCPAxis *axis, ProgramAxis &r)
    {
        const QScopedValueRollback<bool> engine(settingView_, true);
        const QCPRange view = axis->range();
        axis->setRange(r.range);
        if (!r.autoscale)
            axis->setRange(drawableRange(r, axis->range()));
        else if (!curves_.empty())
            axis->rescale();
        r.range = axis->range();
        if (!following_)
            axis->setRange(view);
    }

    // The operator zoomed or panned: the view is theirs until they return.
    void lookAround()
    {
        if (!following_)
            return;
        following_ = false;
        overlay_.setLookingAround(true);
    }

    void backToLive()
    {
        following_ = true;
        {
            const QScopedValueRollback<bool> engine(settingView_, true);
            plot_->xAxis->setRange(x_.range);
            plot_->yAxis->setRange(y_.range);
        }
        overlay_.setLookingAround(false);
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }

    QString readoutAt(QPoint p) const
    {
        if (!plot_->axisRect()->rect().contains(p))
            return {};
        return QStringLiteral("t = %1, y = %2")
            .arg(timeText(plot_->xAxis->pixelToCoord(p.x()), minutes_),
                 QString::number(plot_->yAxis->pixelToCoord(p.y()), 'g', 4));
    }

    // What the operator sees, without the overlay's widgets.
    bool save(const QString &path, bool pdf)
    {
        return pdf ? plot_->savePdf(path, 0, 0, QCP::epAllowCosmetic, QString(), plot_->accessibleName())
                   : plot_->savePng(path);
    }

    void setYLabels()
    {
        QCPAxis *y = plot_->yAxis;
        if (y->scaleType() == QCPAxis::stLogarithmic)
            y->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
        else
            y->setTicker(QSharedPointer<QCPAxisTicker>::create());
        y->setNumberFormat(scientific_ ? QStringLiteral("eb") : QStringLiteral("g"));
        y->setNumberPrecision(scientific_ ? 1 : 6);
    }

    void setTimeLabels()
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

    QCustomPlot *plot_;
    GraphOverlay overlay_;
    std::map<int, Curve> curves_;
    PlotRefs refs_;
    int nextHandle_ = 1, nextCurve_ = 1, lastCurve_ = 0;
    bool merging_ = true, refreshAtOnce_ = false, scientific_ = false, minutes_ = false;
    bool following_ = true, settingView_ = false;
    int timeDigits_ = 0;
    ProgramAxis x_, y_;
};

}  // namespace

std::unique_ptr<Control> makeGraph(Panel &panel, const ControlSpec &desc)
{
    return std::make_unique<StripChart>(panel, desc);
}

}  // namespace rte::ui
