// The bookkeeping behind plot handles: runs of handles stay few however
// many plots the program adds, and erasing single handles keeps the others.
#include "rte/ui/plot_refs.h"

#include <gtest/gtest.h>

using rte::ui::PlotRef;
using rte::ui::PlotRefs;

namespace {

TEST(PlotRefs, ProgramsSuccessiveHistoriesTakeTwoRuns)
{
    PlotRefs refs;
    int h = 1;
    for (int n = 2; n < 899; ++n)  // filling: one point more each time
        refs.insert(h++, {1, 0, n});
    for (int s = 0; s < 5000; ++s)  // full: shifted by one point each time
        refs.insert(h++, {1, s + 1, 899});
    EXPECT_EQ(refs.size(), h - 1);
    EXPECT_LE(refs.runCount(), 3);
    EXPECT_EQ(refs.find(1), (PlotRef{1, 0, 2}));
    EXPECT_EQ(refs.find(897), (PlotRef{1, 0, 898}));
    EXPECT_EQ(refs.find(h - 1), (PlotRef{1, 5000, 899}));
    EXPECT_FALSE(refs.find(h));
    EXPECT_FALSE(refs.find(0));
}

TEST(PlotRefs, ErasingSplitsARunAndKeepsTheRest)
{
    PlotRefs refs;
    for (int h = 1; h <= 10; ++h)
        refs.insert(h, {7, h, 3});
    for (int gone : {5, 1, 10, 6}) {
        EXPECT_TRUE(refs.erase(gone));
        EXPECT_FALSE(refs.erase(gone));
        EXPECT_FALSE(refs.find(gone));
    }
    EXPECT_EQ(refs.size(), 6);
    for (int h : {2, 3, 4, 7, 8, 9})
        EXPECT_EQ(refs.find(h), (PlotRef{7, h, 3})) << h;
    refs.insert(5, {2, 0, 1});
    EXPECT_EQ(refs.onCurve(7).size(), 6u);
    refs.eraseCurve(7);
    EXPECT_EQ(refs.size(), 1);
    EXPECT_EQ(refs.find(5), (PlotRef{2, 0, 1}));
}

}  // namespace
