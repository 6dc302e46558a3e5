// The y axis: fixed or autoscaled, and when a logarithmic axis is refused.
#include <cmath>
#include <limits>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "run/scaling.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

class Scaling : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram();
    }
};

TEST_F(Scaling, TheRulesOfTheLogarithmicAxis)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct Row {
        const char *what;
        int autoscale;
        double y_min, y_max;
        int allowed;
        // after log_auto:
        double y_min_after;
        int allowed_after, log_after;
    } rows[] = {
        {"fixed from 0: the setting moves to 0.1", 0, 0.0, 10.0, 1, 0.1, 1, 1},
        {"fixed from -0 likewise", 0, -0.0, 10.0, 1, 0.1, 1, 1},
        {"fixed, negative minimum", 0, -1.0, 10.0, 1, -1.0, 0, 0},
        {"fixed, maximum 0", 0, 1.0, 0.0, 1, 1.0, 0, 0},
        {"fixed, not a number passes", 0, nan, 10.0, 1, nan, 1, 1},
        {"autoscale tests no bound", 1, -5.0, 10.0, 1, -5.0, 1, 1},
        {"autoscale from 0 keeps 0", 1, 0.0, 10.0, 1, 0.0, 1, 1},
        {"forbidden, autoscale", 1, 1.0, 10.0, 0, 1.0, 0, 0},
        {"forbidden, fixed", 0, 1.0, 10.0, 0, 1.0, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        settings.autoscale = row.autoscale;
        settings.y_min = row.y_min;
        settings.y_max = row.y_max;
        settings.log_scale = 1;
        SetCtrlVal(state.main_panel, kMainLogScale, 1);
        SetCtrlVal(state.main_panel, kMainYMin, row.y_min);
        state.log_allowed = row.allowed;
        log_auto();
        if (std::isnan(row.y_min_after)) {
            EXPECT_TRUE(std::isnan(settings.y_min));
        } else {
            EXPECT_EQ(settings.y_min, row.y_min_after);
        }
        EXPECT_EQ(state.log_allowed, row.allowed_after);
        EXPECT_EQ(settings.log_scale, row.log_after);
        EXPECT_EQ(controlInt(kMainLogScale), row.log_after);
        const auto axis = rte::testing::graphAxis(state.main_panel, kMainGraph, kAxisY);
        EXPECT_EQ(axis.logarithmic, row.log_after == 1);
        EXPECT_EQ(axis.autoscale, row.autoscale != 0);
        double shown = 99;
        GetCtrlVal(state.main_panel, kMainYMin, shown);
        if (!std::isnan(row.y_min)) {
            EXPECT_EQ(shown, row.y_min) << "the entry keeps what it showed";
            // A logarithmic axis from 0 or a reversed range is drawn as the
            // engine sees fit; a plain fixed range is taken as it stood.
            if (row.autoscale == 0 && row.log_after == 0 && row.y_min < row.y_max) {
                EXPECT_EQ(axis.min, row.y_min) << "the axis takes the bound as it stood";
            }
        }
    }
}

TEST_F(Scaling, ACommitReadsTheControlsAndSetsTheInterval)
{
    rte::testing::typeInto(state.main_panel, kMainInterval, "2.5");
    EXPECT_EQ(settings.interval, 2.5);
    EXPECT_EQ(rte::testing::timerInterval(state.main_panel, kMainTimer), 2.5);
    rte::testing::operate(state.main_panel, kMainAutoscale);  // autoscale off
    EXPECT_EQ(settings.autoscale, 0);
    rte::testing::typeInto(state.main_panel, kMainYMax, "50");
    EXPECT_EQ(settings.y_max, 50.0);
    EXPECT_EQ(settings.y_min, 0.1) << "fixed range from 0";
    const auto axis = rte::testing::graphAxis(state.main_panel, kMainGraph, kAxisY);
    EXPECT_FALSE(axis.autoscale);
    EXPECT_EQ(axis.max, 50.0);
}

TEST_F(Scaling, AnIntervalThatIsNotPositiveIsNotTaken)
{
    rte::testing::typeInto(state.main_panel, kMainInterval, "2");
    for (const char *typed : {"0", "-1", "nan"}) {
        rte::testing::typeInto(state.main_panel, kMainInterval, typed);
        EXPECT_GT(settings.interval, 0.0) << typed;
        EXPECT_EQ(rte::testing::timerInterval(state.main_panel, kMainTimer), settings.interval);
    }
}

}  // namespace
}  // namespace program_test
