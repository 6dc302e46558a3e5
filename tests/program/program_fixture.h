// The program over the real engine: its panels loaded from the real panel
// file (offscreen), the simulated analyser on a pseudo-terminal behind a
// port number, and a clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"

namespace program_test {

// The port number the simulator answers on.
constexpr int kSimPort = 7;

// Seconds that Timer returns while a test holds the clock.
extern double now;

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fresh state with the default settings on the simulator's port, which
    // is opened as at start-up.
    void startProgram(const std::vector<std::string> &simOptions = {});
    // Starts a run; the file dialog takes `path` (empty: cancelled).
    void startRun(const std::string &path = "");
    // One cycle by the timer at the clock time t.
    void tickAt(double t);

    std::string controlText(int control);
    int controlInt(int control);
    bool dimmed(int control);
    // The points of the plot added last to the graph.
    std::vector<std::pair<double, double>> lastPlotPoints();

    std::unique_ptr<support::SimulatedAnalyser> sim;
    support::TempDir dir;
};

std::vector<std::string> readLines(const std::string &path);

}  // namespace program_test
