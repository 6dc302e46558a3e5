// A recording process killed outright (SIGKILL, as by a power-off of the
// program or the out-of-memory killer) leaves only complete lines, and the
// viewer draws every one of them; the test leaves no lock on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "testing/recording.h"
#include "tools/child_process.h"
#include "tools/serial_locks.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"
#include "tools/sleep_until.h"

namespace reliability {
namespace {

using namespace std::chrono_literals;

long lineEnds(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return static_cast<long>(std::count(bytes.begin(), bytes.end(), '\n'));
}

long fileSize(const std::string &path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    return file ? static_cast<long>(file.tellg()) : 0;
}

TEST(KilledRecording, LeavesOnlyCompleteLinesThatTheViewerDrawsAll)
{
    support::SimulatedAnalyser analyser;
    support::TempDir dir;
    // Early, in the first cycles, and later, while the timer runs steadily:
    // the kill falls at a different point of a cycle each time.
    for (const long linesBeforeKill : {1L, 2L, 5L, 13L, 29L}) {
        SCOPED_TRACE("killed once the file had " + std::to_string(linesBeforeKill) + " lines");
        const std::string path = dir.file("killed-" + std::to_string(linesBeforeKill) + ".dat");
        {
            support::ChildProcess recorder({RECORDER_PATH, analyser.linkPath(), path},
                                           dir.file("recorder.out"));
            ASSERT_TRUE(support::sleepUntil([&] { return lineEnds(path) >= linesBeforeKill; }, 60s))
                << "the recorder wrote " << lineEnds(path) << " lines";
            recorder.signal(SIGKILL);
            ASSERT_TRUE(support::sleepUntil([&] { return !recorder.running(); }, 10s));
            // Nor does it leave the lock on the analyser's line, which
            // another user of the machine could not remove.
            EXPECT_EQ(support::serialLock(analyser.linkPath()), "");
        }

        const Recording recording = readRecording(path);
        EXPECT_EQ(recording.fault, "");
        ASSERT_GE(static_cast<long>(recording.lines.size()), linesBeforeKill);
        ASSERT_LT(recording.lines.size(), 999u) << "beyond what the viewer draws unthinned";
        ASSERT_LT(fileSize(path), 20000) << "large enough for the viewer to thin it";

        rte::testing::queueFileSelect(kSelectionExisting, path);
        rte::testing::operate(state.main_panel, kMainOpenFile);
        const auto drawn = rte::testing::plotPoints(state.main_panel, kMainGraph,
                                                    rte::testing::lastPlot(state.main_panel, kMainGraph));
        ASSERT_EQ(drawn.size(), recording.lines.size());
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            EXPECT_EQ(drawn[i].first, recording.lines[i].time) << "point " << i;
            EXPECT_EQ(drawn[i].second, recording.lines[i].value) << "point " << i;
        }
    }
}

}  // namespace
}  // namespace reliability
