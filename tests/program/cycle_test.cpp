// The measurement cycle: what each cycle stores, when the time window moves,
// and what the graph is given, driven by a clock the test sets.
#include <string>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "run/cycle.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

using rte::testing::graphAxis;
using rte::testing::plotCount;
using rte::testing::plotPoints;

class Cycle : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram({"--no-pacing"});
    }
    // A run with the interval; its first cycle is at time 0.
    void run(double interval)
    {
        settings.interval = interval;
        now = 0;
        startRun();
    }
    void expectWindow(double min, double max)
    {
        const auto axis = graphAxis(state.main_panel, kMainGraph, kAxisTime);
        EXPECT_EQ(axis.min, min);
        EXPECT_EQ(axis.max, max);
        EXPECT_FALSE(axis.autoscale);
    }
};

TEST_F(Cycle, TheFirstTwoReadingsAreStoredAndTheThirdCycleDrawsThem)
{
    run(1.0);
    EXPECT_EQ(state.n_points, 1);
    EXPECT_EQ(state.hist_time[0], 0);
    EXPECT_EQ(plotCount(state.main_panel, kMainGraph), 0);
    tickAt(1.5);
    EXPECT_EQ(state.n_points, 2);
    EXPECT_EQ(state.hist_time[1], 1);
    EXPECT_EQ(plotCount(state.main_panel, kMainGraph), 0);
    tickAt(2.9);
    EXPECT_EQ(plotCount(state.main_panel, kMainGraph), 1);
    const auto drawn = lastPlotPoints();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0], std::make_pair(0.0, state.hist_value[0]));
    EXPECT_EQ(drawn[1], std::make_pair(1.0, state.hist_value[1]));
    expectWindow(0, 100);
    EXPECT_EQ(controlInt(kMainBusy), 0) << "busy indicator after the cycle";
}

TEST_F(Cycle, TheWindowMovesOnlyOnceTheTimeHasPassedItsEnd)
{
    const struct {
        double interval;
        double min, max;
    } rows[] = {{1.0, 0, 110}, {0.5, 0, 105}, {0.1, 12, 101}, {0.05, 56, 100}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.interval);
        run(row.interval);
        tickAt(1);
        tickAt(100);  // equal to the end: no move
        expectWindow(0, 100);
        EXPECT_EQ(plotCount(state.main_panel, kMainGraph), 1);
        tickAt(100.5);
        expectWindow(row.min, row.max);
        EXPECT_EQ(plotCount(state.main_panel, kMainGraph), 1) << "plots deleted when the window moved";
        rte::testing::operate(state.main_panel, kMainStop);
    }
}

TEST_F(Cycle, BelowATenthOfASecondEveryLateCycleRedrawsAlone)
{
    run(0.05);
    for (double t = 1; t < 5; t++)
        tickAt(t);
    EXPECT_EQ(plotCount(state.main_panel, kMainGraph), 3);
    for (double t = 101; t < 105; t++) {
        tickAt(t);
        expectWindow(56, 100);  // 100 - 899 * 0.05 + 1, above the oldest time
        EXPECT_EQ(plotCount(state.main_panel, kMainGraph), 1);
    }
}

TEST_F(Cycle, AFullHistoryDropsTheOldestAndDrawsEveryReading)
{
    run(1.0);
    for (int k = 1; k < 900; k++)
        tickAt(k);
    EXPECT_EQ(state.n_points, 900);
    EXPECT_EQ(lastPlotPoints().size(), 899u);
    tickAt(900);  // the 901st reading
    EXPECT_EQ(state.n_points, 900);
    auto drawn = lastPlotPoints();
    ASSERT_EQ(drawn.size(), 899u);
    EXPECT_EQ(drawn.front().first, 1.0);
    EXPECT_EQ(drawn.back().first, 899.0) << "the 900th reading is drawn";
    tickAt(901);
    drawn = lastPlotPoints();
    ASSERT_EQ(drawn.size(), 899u);
    EXPECT_EQ(drawn.front().first, 2.0);
    EXPECT_EQ(drawn.back().first, 900.0);
    EXPECT_EQ(state.hist_time[899], 901);
    EXPECT_EQ(state.hist_time[0], 2);
    expectWindow(12, 910);
}

TEST_F(Cycle, AnAutoscaledAxisShowsEveryDrawnReading)
{
    run(1.0);
    for (int k = 1; k < 6; k++) {
        tickAt(k);
        rte::testing::waitUntil([] { return false; }, 0.2);
    }
    const auto y = rte::testing::graphView(state.main_panel, kMainGraph, kAxisY);
    EXPECT_TRUE(y.following);
    for (int i = 0; i < state.n_points - 1; i++) {
        EXPECT_GE(state.hist_value[i], y.min);
        EXPECT_LE(state.hist_value[i], y.max);
    }
}

TEST_F(Cycle, ATickOutsideARunChangesNothing)
{
    tickAt(5);
    EXPECT_EQ(state.n_points, 0);
    EXPECT_EQ(sim->status().queries, 0);
}

TEST_F(Cycle, AReadingOfZeroForbidsALogarithmicAxis)
{
    run(1.0);
    EXPECT_EQ(state.log_allowed, 1);
    sim->setMode("wrong-letter");  // reading 0
    tickAt(1);
    EXPECT_EQ(state.log_allowed, 0);
}

}  // namespace
}  // namespace program_test
