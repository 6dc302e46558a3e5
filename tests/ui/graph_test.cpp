// The graph: plots by handle, axes, odd requests, and the merging of the
// program's successive histories, which must look exactly like drawing
// every plot.
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "test_ui.h"

#include <QCoreApplication>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using namespace ui_test;
namespace t = rte::testing;

namespace {

using Points = std::vector<std::pair<double, double>>;

class Graph : public ::testing::Test {
protected:
    void SetUp() override
    {
        DisplayPanel(mainPanel);
        t::setPlotMerging(mainPanel, kMainGraph, true);
        DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, kMappingLinear);
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, 0, 100);
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleManual, 0, 100);
    }
    void TearDown() override
    {
        t::setPlotMerging(mainPanel, kMainGraph, true);
        DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
    }

    static int plot(const Points &p, int colour = kColourBlue)
    {
        std::vector<double> x, y;
        for (const auto &[a, b] : p) {
            x.push_back(a);
            y.push_back(b);
        }
        return PlotXY(mainPanel, kMainGraph, x.data(), y.data(), static_cast<int>(p.size()), kTypeDouble,
                      kTypeDouble, kPlotThinLine, kPointNone, kLineSolid, 1, colour);
    }

    static QImage picture()
    {
        // Lets a redraw that waits for the event loop happen.
        QCoreApplication::processEvents();
        return t::widget(mainPanel, kMainGraph)->grab().toImage();
    }

    // Whether the plot colour of plot() (blue, perhaps blended into the
    // white ground at the edges of a line) shows within two pixels of where
    // the point (t, y) is drawn.  The point must lie clear of the axis lines
    // and their inward ticks, which are drawn over the curve: on them, what
    // shows would depend on where the tick labels' font puts the axes.
    static bool curveNear(const QImage &image, double t, double y)
    {
        const auto [px, py] = t::graphPixel(mainPanel, kMainGraph, t, y);
        const t::GraphView x = t::graphView(mainPanel, kMainGraph, kAxisTime),
                           v = t::graphView(mainPanel, kMainGraph, kAxisY);
        const auto [left, bottom] = t::graphPixel(mainPanel, kMainGraph, x.min, v.min);
        const auto [right, top] = t::graphPixel(mainPanel, kMainGraph, x.max, v.max);
        constexpr int clear = 8;  // ticks reach 5 pixels in; 2 around the point; 1 for rounding
        if (px < left + clear || px > right - clear || py < top + clear || py > bottom - clear) {
            ADD_FAILURE() << "(" << t << ", " << y << ") is drawn at " << px << "," << py
                          << ", on the axes' decorations of the plot area " << left << ".." << right << " x "
                          << top << ".." << bottom;
            return false;
        }
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                if (!image.valid(px + dx, py + dy))
                    continue;
                const QColor c = image.pixelColor(px + dx, py + dy);
                if (c.blue() - std::max(c.red(), c.green()) > 60)
                    return true;
            }
        return false;
    }
    // A time on the graph's time axis after `last`, where no curve goes.
    static double pastTheEnd(double last)
    {
        return (last + t::graphAxis(mainPanel, kMainGraph, kAxisTime).max) / 2;
    }
};

int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

// What the program plots, cycle after cycle: a history of `capacity` slots
// that first fills, then shifts by one reading per cycle.  Readings repeat
// (a quiet analyser) and several share a whole second.
std::vector<Points> histories(int cycles, int capacity)
{
    std::vector<Points> out;
    Points h;
    for (int k = 0; k < cycles; ++k) {
        const double time = std::floor(k * 0.4);
        const double value = 40 + 30 * std::sin(k * 0.7) + (k % 5 == 0 ? 0 : 7);
        h.emplace_back(time, value);
        if (static_cast<int>(h.size()) > capacity)
            h.erase(h.begin());
        if (h.size() >= 2)
            out.push_back(h);
    }
    return out;
}

TEST_F(Graph, PlotsAreAddedAndDeletedByHandle)
{
    const Points a = {{0, 1}, {10, 2}, {20, 3}}, b = {{0, 50}, {50, 60}};
    const int ha = plot(a), hb = plot(b, kColourRed);
    ASSERT_GT(ha, 0);
    ASSERT_GT(hb, 0);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(t::plotCount(mainPanel, kMainGraph), 2);
    EXPECT_EQ(t::plotPoints(mainPanel, kMainGraph, ha), a);
    EXPECT_EQ(DeleteGraphPlot(mainPanel, kMainGraph, ha, 1), 0);
    EXPECT_EQ(DeleteGraphPlot(mainPanel, kMainGraph, ha, 1), kUiBadHandle);
    EXPECT_EQ(t::plotPoints(mainPanel, kMainGraph, hb), b);
    EXPECT_EQ(DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1), 0);
    EXPECT_EQ(t::plotCount(mainPanel, kMainGraph), 0);
    EXPECT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), 0);
}

TEST_F(Graph, IntegerAndDoubleArraysAreCopied)
{
    int x[] = {0, 1, 2};
    double y[] = {5, 6, 7};
    const int h = PlotXY(mainPanel, kMainGraph, x, y, 3, kTypeInt, kTypeDouble, kPlotThinLine, kPointNone,
                         kLineSolid, 1, kColourBlue);
    x[0] = 99;
    y[0] = 99;
    EXPECT_EQ(t::plotPoints(mainPanel, kMainGraph, h), (Points{{0, 5}, {1, 6}, {2, 7}}));
    // The type code lies; then a control that is not a graph.
    EXPECT_EQ(PlotXY(mainPanel, kMainGraph, x, y, 3, kTypeDouble, kTypeDouble, kPlotThinLine, kPointNone,
                     kLineSolid, 1, 0),
              kUiBadArgument);
    EXPECT_EQ(PlotXY(mainPanel, kMainInterval, x, y, 3, kTypeInt, kTypeDouble, kPlotThinLine, kPointNone,
                     kLineSolid, 1, 0),
              kUiBadHandle);
}

TEST_F(Graph, PointsThatAreNotFiniteAreLeftOutAndEmptyPlotsAreFine)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const int h = plot({{0, 1}, {1, nan}, {2, 3}, {inf, 4}, {4, -inf}, {5, 6}});
    EXPECT_EQ(t::plotPoints(mainPanel, kMainGraph, h), (Points{{0, 1}, {2, 3}, {5, 6}}));
    const int empty = plot({});
    EXPECT_GT(empty, 0);
    EXPECT_TRUE(t::plotPoints(mainPanel, kMainGraph, empty).empty());
    EXPECT_EQ(DeleteGraphPlot(mainPanel, kMainGraph, empty, 1), 0);
}

TEST_F(Graph, AxesFollowTheirScalingMode)
{
    plot({{10, -5}, {20, 40}, {30, 15}});
    ASSERT_EQ(SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleAuto, 0, 0), 0);
    t::GraphAxis y = t::graphAxis(mainPanel, kMainGraph, kAxisY);
    EXPECT_TRUE(y.autoscale);
    EXPECT_LE(y.min, -5);
    EXPECT_GE(y.max, 40);
    plot({{40, 90}});
    plot({{40, 90}, {50, 120}});
    EXPECT_GE(t::graphAxis(mainPanel, kMainGraph, kAxisY).max, 120);

    SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, 2, 900);
    const t::GraphAxis x = t::graphAxis(mainPanel, kMainGraph, kAxisTime);
    EXPECT_FALSE(x.autoscale);
    EXPECT_EQ(x.min, 2);
    EXPECT_EQ(x.max, 900);
    SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleAuto, 0, 0);
    EXPECT_LE(t::graphAxis(mainPanel, kMainGraph, kAxisTime).min, 10);
    EXPECT_GE(t::graphAxis(mainPanel, kMainGraph, kAxisTime).max, 50);
    EXPECT_EQ(SetAxisScalingMode(mainPanel, kMainGraph, 2, kScaleManual, 0, 1), kUiBadArgument);  // no third axis
}

TEST_F(Graph, OddRangesDrawSomethingSane)
{
    struct Case {
        double min, max;
        int log;
        double wantMin, wantMax;  // NaN: only "positive and below max" is asked
    } cases[] = {
        {0, 10, 0, 0, 10},
        {10, 0, 0, 0, 10},                                         // reversed
        {0, 10, 1, std::numeric_limits<double>::quiet_NaN(), 10},  // log from 0
        {-5, 1000, 1, std::numeric_limits<double>::quiet_NaN(), 1000},
        {5, 5, 0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()},
        {-3, -1, 1, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()},
    };
    plot({{0, 1}, {50, 5}});
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " log " << c.log);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, kMappingLinear);
        ASSERT_EQ(SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleManual, c.min, c.max), 0);
        ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, c.log), 0);
        const t::GraphAxis y = t::graphAxis(mainPanel, kMainGraph, kAxisY);
        EXPECT_EQ(y.logarithmic, c.log == 1);
        EXPECT_LT(y.min, y.max);
        if (c.log) {
            EXPECT_GT(y.min, 0);
        }
        if (!std::isnan(c.wantMin)) {
            EXPECT_EQ(y.min, c.wantMin);
        }
        if (!std::isnan(c.wantMax)) {
            EXPECT_EQ(y.max, c.wantMax);
        }
        // Halfway along the line from (0, 1) to (50, 5) the curve shows
        // where the axis reaches (at the geometric mean on a logarithmic
        // one); after its end nothing does.
        const double middle = c.log ? std::sqrt(5.0) : 3.0;
        if (y.min < middle && middle < y.max) {
            const QImage image = picture();
            EXPECT_TRUE(curveNear(image, 25, middle));
            EXPECT_FALSE(curveNear(image, pastTheEnd(50), middle));
        }
    }
}

TEST_F(Graph, LabelAttributesTakeTheirCodesOnly)
{
    for (auto [attribute, value] :
         {std::pair<int, int>{kAttrYLabelFormat, kPlainLabels}, {kAttrYLabelFormat, kScientificLabels},
          {kAttrTimeLabelForm, kTimeSeconds}, {kAttrTimeLabelForm, kTimeMinutes}, {kAttrTimeLabelDigits, 0},
          {kAttrTimeLabelDigits, 1}, {kAttrGrid, 0}, {kAttrGrid, 1}, {kAttrRefreshAtOnce, 0},
          {kAttrRefreshAtOnce, 1}})
        EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainGraph, attribute, value), 0) << attribute << " " << value;
    EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainGraph, kAttrYLabelFormat, 7), kUiBadArgument);
    EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, 2), kUiBadArgument);
    EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainGraph, kAttrColour, kColourRed), kUiBadArgument);
    const double inf = std::numeric_limits<double>::infinity();
    for (int attribute : {kAttrYMapping, kAttrYLabelFormat, kAttrTimeLabelForm, kAttrTimeLabelDigits, kAttrGrid,
                          kAttrRefreshAtOnce})
        for (double v : {inf, -inf, 1e300, -1e300, 4294967297.0})
            EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainGraph, attribute, v), kUiBadArgument) << attribute << " " << v;
    SetCtrlAttribute(mainPanel, kMainGraph, kAttrTimeLabelForm, kTimeSeconds);
    SetCtrlAttribute(mainPanel, kMainGraph, kAttrYLabelFormat, kPlainLabels);
}

TEST_F(Graph, SuccessiveHistoriesShareOneCurveAndKeepTheirPoints)
{
    const std::vector<Points> all = histories(1000, 899);
    std::vector<int> handles;
    for (const Points &h : all)
        handles.push_back(plot(h));
    EXPECT_EQ(t::plotCount(mainPanel, kMainGraph), static_cast<int>(all.size()));
    EXPECT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), 1);
    for (std::size_t i = 0; i < all.size(); i += 97)
        EXPECT_EQ(t::plotPoints(mainPanel, kMainGraph, handles[i]), all[i]) << i;
    EXPECT_EQ(t::plotPoints(mainPanel, kMainGraph, handles.back()), all.back());
}

TEST_F(Graph, MergedPictureIsTheNaivePicture)
{
    // A history of 25 slots that fills, then shifts for 55 more cycles.
    const std::vector<Points> all = histories(80, 25);
    SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, -1, 33);
    for (const Points &h : all)
        plot(h);
    ASSERT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), 1);
    const QImage merged = picture();

    DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
    t::setPlotMerging(mainPanel, kMainGraph, false);
    for (const Points &h : all)
        plot(h);
    ASSERT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), static_cast<int>(all.size()));
    const QImage naive = picture();
    EXPECT_TRUE(naive == merged) << differingPixels(naive, merged) << " pixels differ";
}

// A cycle that only adds a point redraws the curves alone; what shows at
// once must be what a whole redraw draws, also when the time axis moves on
// or the automatic value axis widens in the same cycle.
TEST_F(Graph, ACycleShownAtOnceIsTheWholePicture)
{
    SetCtrlAttribute(mainPanel, kMainGraph, kAttrRefreshAtOnce, 1);
    SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleAuto, 0, 0);
    picture();
    const std::vector<Points> all = histories(60, 40);
    double axisEnd = 10;
    for (std::size_t k = 0; k < all.size(); ++k) {
        const Points &h = all[k];
        if (h.back().first >= axisEnd) {
            axisEnd += 4;
            SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, axisEnd - 20, axisEnd);
            DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
        }
        plot(h);
        const QImage shown = t::widget(mainPanel, kMainGraph)->grab().toImage();
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrGrid, 1);  // asks for a whole redraw
        const QImage whole = picture();
        ASSERT_TRUE(shown == whole) << "cycle " << k << ": " << differingPixels(shown, whole) << " pixels differ";
    }
    SetCtrlAttribute(mainPanel, kMainGraph, kAttrRefreshAtOnce, 0);
}

TEST_F(Graph, OtherColoursAndUnrelatedDataGetCurvesOfTheirOwn)
{
    plot({{0, 1}, {1, 2}});
    plot({{0, 1}, {1, 2}, {2, 3}}, kColourNavy);
    plot({{5, 1}, {6, 2}}, kColourNavy);
    EXPECT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), 3);
}

// Deleting single plots from a merged curve leaves exactly what the others
// draw: here the plot that bridged two others goes, and no line may join
// them afterwards.
TEST_F(Graph, DeletingOnePlotOfAMergedCurveKeepsWhatTheOthersDraw)
{
    const Points p = {{0, 10}, {10, 80}, {20, 30}, {30, 60}, {40, 20}, {50, 90}, {60, 40}};
    const Points a(p.begin(), p.begin() + 3), b(p.begin(), p.begin() + 6), c(p.begin() + 4, p.end());
    plot(a);
    const int hb = plot(b);
    const int hc = plot(c);
    ASSERT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), 1);
    ASSERT_EQ(DeleteGraphPlot(mainPanel, kMainGraph, hb, 1), 0);
    EXPECT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), 2);
    EXPECT_EQ(t::plotPoints(mainPanel, kMainGraph, hc), c);
    const QImage afterDelete = picture();

    DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
    t::setPlotMerging(mainPanel, kMainGraph, false);
    plot(a);
    plot(c);
    const QImage naive = picture();
    EXPECT_TRUE(naive == afterDelete) << differingPixels(naive, afterDelete) << " pixels differ";
}

TEST_F(Graph, LogarithmicAxisOverValuesThatAreNotPositiveStillDraws)
{
    plot({{0, -4}, {10, 0}, {20, 5}, {30, 50}});
    SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleAuto, 0, 0);
    ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, kMappingLog), 0);
    const t::GraphAxis y = t::graphAxis(mainPanel, kMainGraph, kAxisY);
    EXPECT_TRUE(y.logarithmic);
    EXPECT_GT(y.min, 0);
    EXPECT_GE(y.max, 50);
    // The positive part is drawn: on a logarithmic axis the line from
    // (20, 5) to (30, 50) rises a tenth of a decade per second.  Its ends
    // lie on the edges of the plot area, so it is looked for just inside them.
    const auto onLine = [](double t) { return 5 * std::pow(10.0, (t - 20) / 10); };
    const QImage image = picture();
    for (double t : {21.0, 25.0, 29.0})
        EXPECT_TRUE(curveNear(image, t, onLine(t))) << t;
    EXPECT_FALSE(curveNear(image, pastTheEnd(30), onLine(25)));
}

}  // namespace
