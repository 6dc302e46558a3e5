// The analyser unplugged in the middle of a recorded run and plugged back
// in: the run carries on by itself, one line per cycle throughout, "NO
// CONNECTION" while it is gone and real readings again once it is back,
// without anybody touching the program.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "testing/program_driver.h"
#include "testing/recording.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"
#include "tools/sleep_until.h"

namespace reliability {
namespace {

using namespace std::chrono_literals;

bool realReading() { return controlText(kMainReading).find("ppm") != std::string::npos; }

class UnpluggedAnalyser : public ::testing::Test {
protected:
    // The engine is shared with the other tests: the run ends and the clock
    // is the real one again, however this test ends.
    void TearDown() override
    {
        rte::testing::operate(state.main_panel, kMainStop);
        rte::testing::setClock(nullptr);
    }
};

TEST_F(UnpluggedAnalyser, TheRecordedRunGoesOnAndReadsAgainOnceItIsBack)
{
    // A long turnaround: the exchange flushes its input after the query, and
    // a reply that came before would be lost on a busy machine.
    support::SimulatedAnalyser analyser({"--no-pacing", "--turnaround", "0.05"});
    support::TempDir dir;
    const std::string path = dir.file("unplugged.dat");
    ASSERT_TRUE(connectAnalyser(analyser.linkPath(), 1.0));
    ASSERT_TRUE(startRecordedRunOnHeldClock(path));
    int cycles = 1;
    const auto tick = [&] { tickAt(cycles++); };

    for (int k = 0; k < 3; ++k)
        tick();
    const int pulled = cycles;

    analyser.hangUp();
    for (int k = 0; k < 5; ++k) {
        tick();
        EXPECT_EQ(controlText(kMainReading), "NO CONNECTION");
        const Recording recording = readRecording(path);
        ASSERT_EQ(recording.lines.size(), static_cast<std::size_t>(cycles)) << recording.fault;
        EXPECT_EQ(recording.lines.back().value, 0.0);
    }

    analyser.bringBack();
    const bool readsAgain = support::sleepUntil(
        [&] {
            tick();
            return realReading();
        },
        60s);
    ASSERT_TRUE(readsAgain) << "still " << controlText(kMainReading) << " after " << cycles - pulled
                            << " cycles since the analyser was pulled";
    const int back = cycles - 1;
    for (int k = 0; k < 3; ++k)
        tick();
    rte::testing::operate(state.main_panel, kMainStop);

    const Recording recording = readRecording(path);
    EXPECT_EQ(recording.fault, "");
    ASSERT_EQ(recording.lines.size(), static_cast<std::size_t>(cycles));
    for (int k = 0; k < cycles; ++k)
        EXPECT_EQ(recording.lines[k].time, k) << "line " << k + 1;
    for (int k = pulled; k < back; ++k)
        EXPECT_EQ(recording.lines[k].value, 0.0) << "line " << k + 1 << ", while it was gone";
    EXPECT_GT(recording.lines[back].value, 0.0) << "the first reading after its return";
}

}  // namespace
}  // namespace reliability
