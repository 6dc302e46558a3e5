// The graph's marks: levels, spans, markers and notes that the program lays
// over its plots, which the plots' own deleting and merging never reach and
// autoscaling never sees.
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
#include <vector>

using namespace ui_test;
namespace t = rte::testing;

namespace {

class GraphMarks : public ::testing::Test {
protected:
    void SetUp() override
    {
        DisplayPanel(mainPanel);
        DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
        DeleteGraphMark(mainPanel, kMainGraph, kAllMarks);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, kMappingLinear);
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, 0, 100);
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleManual, 0, 100);
    }
    void TearDown() override
    {
        DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
        DeleteGraphMark(mainPanel, kMainGraph, kAllMarks);
    }
    static int plot(std::vector<double> x, std::vector<double> y)
    {
        return PlotXY(mainPanel, kMainGraph, x.data(), y.data(), static_cast<int>(x.size()), kTypeDouble,
                      kTypeDouble, kPlotThinLine, kPointNone, kLineSolid, 1, kColourBlue);
    }
    static std::vector<t::GraphMark> marks() { return t::graphMarks(mainPanel, kMainGraph); }
    static QImage picture()
    {
        QCoreApplication::processEvents();
        return t::widget(mainPanel, kMainGraph)->grab().toImage();
    }
    // Pixels along the row of y, inside the plot area, of a colour that is
    // red and not grey: the level's dashes.
    static int redPixelsOnRow(const QImage &image, double y)
    {
        const auto [left, row] = t::graphPixel(mainPanel, kMainGraph, 10, y);
        const auto [right, unused] = t::graphPixel(mainPanel, kMainGraph, 60, y);
        int n = 0;
        for (int x = left; x <= right; ++x)
            for (int dy = -1; dy <= 1; ++dy) {
                const QColor c = image.pixelColor(x, row + dy);
                n += c.red() - std::max(c.green(), c.blue()) > 100;
            }
        return n;
    }
};

TEST_F(GraphMarks, MarksStayWhilePlotsComeMergeAndGo)
{
    const int level = AddGraphLevel(mainPanel, kMainGraph, 50, "HIGH 50 \260C", kColourRed);
    const int span = AddGraphSpan(mainPanel, kMainGraph, 30, 20, kColourRed);
    const int marker = AddGraphMarker(mainPanel, kMainGraph, 40, 60, "an event", kColourGreen);
    const int note = AddGraphNote(mainPanel, kMainGraph, "a note");
    for (int h : {level, span, marker, note})
        EXPECT_GT(h, 0);
    // Histories as the program plots them, merged into one curve, then
    // deleted as the program does when the time window moves.
    for (int n = 2; n < 20; ++n) {
        std::vector<double> x, y;
        for (int i = 0; i < n; ++i) {
            x.push_back(i);
            y.push_back(10 + i);
        }
        plot(x, y);
    }
    EXPECT_EQ(t::drawnCurveCount(mainPanel, kMainGraph), 1);
    DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
    const std::vector<t::GraphMark> m = marks();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].kind, t::MarkKind::Level);
    EXPECT_EQ(m[0].text, "HIGH 50 \260C");
    EXPECT_EQ(m[0].y, 50);
    EXPECT_EQ(m[0].colour, kColourRed);
    EXPECT_EQ(m[1].kind, t::MarkKind::Span);
    EXPECT_EQ(m[1].t0, 20) << "ends in either order";
    EXPECT_EQ(m[1].t1, 30);
    EXPECT_EQ(m[2].kind, t::MarkKind::Marker);
    EXPECT_EQ(m[2].t0, 40);
    EXPECT_EQ(m[2].y, 60);
    EXPECT_EQ(m[3].kind, t::MarkKind::Note);
    EXPECT_EQ(m[3].text, "a note");

    EXPECT_EQ(SetGraphSpan(mainPanel, kMainGraph, span, 20, 45), 0);
    EXPECT_EQ(marks()[1].t1, 45);
    EXPECT_EQ(DeleteGraphMark(mainPanel, kMainGraph, marker), 0);
    EXPECT_EQ(marks().size(), 3u);
    EXPECT_EQ(DeleteGraphMark(mainPanel, kMainGraph, kAllMarks), 0);
    EXPECT_TRUE(marks().empty());
}

TEST_F(GraphMarks, WrongRequestsAreRefused)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    EXPECT_EQ(AddGraphLevel(mainPanel, kMainGraph, nan, "x", kColourRed), kUiBadArgument);
    EXPECT_EQ(AddGraphSpan(mainPanel, kMainGraph, 0, inf, kColourRed), kUiBadArgument);
    EXPECT_EQ(AddGraphMarker(mainPanel, kMainGraph, nan, 1, "x", kColourRed), kUiBadArgument);
    EXPECT_EQ(AddGraphLevel(mainPanel, kMainStart, 1, "x", kColourRed), kUiBadHandle) << "not a graph";
    EXPECT_EQ(AddGraphNote(9999, kMainGraph, "x"), kUiBadHandle);
    const int level = AddGraphLevel(mainPanel, kMainGraph, 1, "x", kColourRed);
    const int span = AddGraphSpan(mainPanel, kMainGraph, 1, 2, kColourRed);
    EXPECT_EQ(SetGraphSpan(mainPanel, kMainGraph, level, 1, 2), kUiBadHandle) << "a level is no span";
    EXPECT_EQ(SetGraphSpan(mainPanel, kMainGraph, span, 1, nan), kUiBadArgument);
    EXPECT_EQ(DeleteGraphMark(mainPanel, kMainGraph, span), 0);
    EXPECT_EQ(DeleteGraphMark(mainPanel, kMainGraph, span), kUiBadHandle) << "deleted already";
    EXPECT_EQ(SetGraphSpan(mainPanel, kMainGraph, span, 1, 2), kUiBadHandle);
    EXPECT_EQ(marks().size(), 1u);
}

// A level beyond the range shown is not drawn and leaves the scaling as
// the data alone make it.
TEST_F(GraphMarks, ALevelShowsOnlyInsideTheRangeShown)
{
    const struct {
        const char *what;
        bool autoscale, logarithmic;
        double level;
        bool shown;
    } rows[] = {
        {"inside a fixed range", false, false, 50, true},
        {"above a fixed range", false, false, 150, false},
        {"below a fixed range", false, false, -5, false},
        {"inside the autoscaled range", true, false, 25, true},
        {"far above the autoscaled range", true, false, 1e6, false},
        {"below it", true, false, -1e6, false},
        {"0 on a logarithmic axis", false, true, 0, false},
        {"inside a logarithmic range", false, true, 20, true},
    };
    plot({0, 50, 100}, {20, 30, 25});
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, row.logarithmic ? kMappingLog : kMappingLinear);
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, row.autoscale ? kScaleAuto : kScaleManual, 1, 100);
        const t::GraphAxis before = t::graphAxis(mainPanel, kMainGraph, kAxisY);
        const QImage without = picture();
        ASSERT_GT(AddGraphLevel(mainPanel, kMainGraph, row.level, "LOW", kColourRed), 0);
        // Autoscaling again after the level came: new data.
        plot({0, 50, 100}, {20, 30, 25});
        const t::GraphAxis after = t::graphAxis(mainPanel, kMainGraph, kAxisY);
        EXPECT_EQ(after.min, before.min);
        EXPECT_EQ(after.max, before.max);
        ASSERT_EQ(marks().size(), 1u);
        EXPECT_EQ(marks()[0].shown, row.shown);
        const QImage with = picture();
        if (row.shown) {
            EXPECT_EQ(redPixelsOnRow(without, row.level), 0);
            EXPECT_GT(redPixelsOnRow(with, row.level), 10);
        } else {
            EXPECT_EQ(with, without) << "nothing of the level drawn";
        }
        DeleteGraphMark(mainPanel, kMainGraph, kAllMarks);
        DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
        plot({0, 50, 100}, {20, 30, 25});
    }
}

// The operator zooms: a level comes and goes with the range shown.
TEST_F(GraphMarks, ALevelFollowsTheOperatorsView)
{
    AddGraphLevel(mainPanel, kMainGraph, 80, "HIGH", kColourRed);
    ASSERT_TRUE(marks()[0].shown);
    SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleManual, 0, 60);
    EXPECT_FALSE(marks()[0].shown);
    SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleManual, 0, 90);
    EXPECT_TRUE(marks()[0].shown);
}

TEST_F(GraphMarks, AMarkerSaysItsTooltipWhereThePointerRests)
{
    plot({0, 100}, {0, 100});
    AddGraphMarker(mainPanel, kMainGraph, 30, 30, "HIGH alarm at 30.0 s: 31 \260C", kColourRed);
    AddGraphMarker(mainPanel, kMainGraph, 70, 70, "Back to normal", kColourGreen);
    picture();
    const auto [x, y] = t::graphPixel(mainPanel, kMainGraph, 30, 30);
    EXPECT_EQ(t::graphTooltip(mainPanel, kMainGraph, x, y), "HIGH alarm at 30.0 s: 31 \260C");
    EXPECT_EQ(t::graphTooltip(mainPanel, kMainGraph, x + 4, y - 3), "HIGH alarm at 30.0 s: 31 \260C");
    const auto [x2, y2] = t::graphPixel(mainPanel, kMainGraph, 70, 70);
    EXPECT_EQ(t::graphTooltip(mainPanel, kMainGraph, x2, y2), "Back to normal");
    EXPECT_EQ(t::graphTooltip(mainPanel, kMainGraph, (x + x2) / 2, (y + y2) / 2), "") << "between them";
    // A marker outside the range shown has no tooltip at the edge.
    SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, 50, 100);
    picture();
    const auto [edge, ey] = t::graphPixel(mainPanel, kMainGraph, 50, 30);
    EXPECT_EQ(t::graphTooltip(mainPanel, kMainGraph, edge, ey), "");
}

// A span shades its time behind the curve; the curve still shows over it.
TEST_F(GraphMarks, ASpanShadesItsTimeBehindTheCurve)
{
    plot({0, 100}, {50, 50});
    const QImage without = picture();
    AddGraphSpan(mainPanel, kMainGraph, 20, 40, kColourRed);
    const QImage with = picture();
    const auto shade = [&](const QImage &image, double time, double y) {
        const auto [px, py] = t::graphPixel(mainPanel, kMainGraph, time, y);
        return image.pixelColor(px, py);
    };
    const QColor inside = shade(with, 30, 25);
    EXPECT_GT(inside.red(), inside.blue() + 20) << "reddish inside the span";
    EXPECT_EQ(shade(with, 60, 25), shade(without, 60, 25)) << "untouched beside it";
    // The curve's pixel near where (30, 50) is drawn: blue, not shaded.
    const auto [px, py] = t::graphPixel(mainPanel, kMainGraph, 30, 50);
    bool blue = false;
    for (int dy = -2; dy <= 2; ++dy) {
        const QColor c = with.pixelColor(px, py + dy);
        blue = blue || c.blue() - std::max(c.red(), c.green()) > 100;
    }
    EXPECT_TRUE(blue) << "the curve drawn over the shading";
}

}  // namespace
