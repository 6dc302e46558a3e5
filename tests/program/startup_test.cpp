// The program from start to end, each start in a process of its own: the
// settings it starts with, the panels it shows, and what it leaves behind
// when the main window is closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/callbacks.h"
#include "app/shell.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/testing.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/cycle.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"

namespace {

using namespace rte::testing;

std::string settingsPath()
{
    char dir[kPathSize];
    GetProjectDir(dir);
    return std::string(dir) + "/vandrel.ini";
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// In the child: what the checks found wrong ends it with status 100.
void require(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::_Exit(100);
    }
}

double ctrlDouble(int control)
{
    double v = -99;
    GetCtrlVal(state.main_panel, control, v);
    return v;
}

int ctrlInt(int panel, int control)
{
    int v = -99;
    GetCtrlVal(panel, control, v);
    return v;
}

// Starts the program as its own main does, lets `operator_` act, closes the
// main window and runs the event loop, which ends the process.
void runProgram(const std::function<void()> &operator_)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 2;
    char name[] = "vandrel", ignored[] = "--ignored-argument";
    char *argv[] = {name, ignored, nullptr};
    start_engine(argc, argv);
    laden();
    setup();
    require(panelVisible(state.main_panel), "main panel shown");
    operator_();
    closePanel(state.main_panel);
    RunUserInterface();
    std::_Exit(101);  // not reached: the end of the program ends the process
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override { std::remove(settingsPath().c_str()); }
    void TearDown() override { std::remove(settingsPath().c_str()); }
};

TEST_F(Startup, FirstStartWithoutSettingsOrPort)
{
    setenv("RTE_COM1", "/nonexistent/analyser", 1);
    EXPECT_EXIT(runProgram([] {
                    require(ctrlDouble(3) == 1.0 && ctrlDouble(2) == 0.0 && ctrlDouble(4) == 10.0,
                            "default interval and y range shown");
                    require(ctrlInt(state.main_panel, 7) == 1 &&
                                ctrlInt(state.main_panel, 19) == 1 &&
                                ctrlInt(state.main_panel, 6) == 0,
                            "default switches and quantity shown");
                    require(state.port_open == 0, "no port");
                    require(panelVisible(state.com_panel), "port panel shown");
                    require(ctrlInt(state.com_panel, 2) == 1, "port panel shows port 1");
                }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(settingsPath()), " 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n");
}

TEST_F(Startup, StoredSettingsTheInfoPanelAndRestoringSettings)
{
    support::SimulatedAnalyser sim;
    setenv("RTE_COM7", sim.linkPath().c_str(), 1);
    const std::string stored = " 7 2.500000 0 2 1 -1.000000 50.000000  Kv_2014\n";
    std::ofstream(settingsPath()) << stored;
    EXPECT_EXIT(runProgram([] {
                    require(ctrlDouble(3) == 2.5 && ctrlDouble(2) == -1.0 && ctrlDouble(4) == 50.0,
                            "stored interval and y range shown");
                    require(ctrlInt(state.main_panel, 7) == 0 &&
                                ctrlInt(state.main_panel, 19) == 2 &&
                                ctrlInt(state.main_panel, 6) == 1,
                            "stored switches and quantity shown");
                    require(state.port_open == 1 && !panelVisible(state.com_panel),
                            "stored port opened");
                    char shown[512];
                    GetCtrlVal(state.info_panel, 3, shown);
                    require(shown == "Settings file: " + settingsPath(),
                            "the info panel names the settings file");
                    for (int i = 0; i < 3; i++) {
                        operate(state.main_panel, 13);
                        require(panelVisible(state.info_panel), "info panel shown");
                        closePanel(state.info_panel);
                        require(!panelVisible(state.info_panel), "info panel hidden");
                    }
                    // Typed but not committed: restoring puts the stored
                    // values back and leaves the switches alone.
                    typeInto(state.main_panel, 3, "9", false);
                    SetCtrlVal(state.main_panel, 6, 0);
                    activateMenuItem(state.menu_bar, 2);
                    require(ctrlDouble(3) == 2.5, "stored value back");
                    require(ctrlInt(state.main_panel, 6) == 0, "log switch left alone");
                }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(settingsPath()), stored);
}

TEST_F(Startup, ClosingDuringARecordedRunKeepsEveryLine)
{
    support::SimulatedAnalyser sim;
    support::TempDir dir;
    setenv("RTE_COM1", sim.linkPath().c_str(), 1);
    const std::string path = dir.file("run.dat");
    EXPECT_EXIT(runProgram([&path] {
                    queueFileSelect(2, path);
                    operate(state.main_panel, 10);
                    require(state.running == 1 && state.recording == 1, "recorded run");
                    for (int i = 0; i < 3; i++)
                        timer2(state.main_panel, 18, 15, nullptr, 0, 0);
                }),
                ::testing::ExitedWithCode(0), "");
    std::istringstream lines(readFile(path));
    int count = 0;
    for (std::string line; std::getline(lines, line); count++) {
        double t, v;
        EXPECT_EQ(std::sscanf(line.c_str(), "%lf %lf", &t, &v), 2) << line;
    }
    EXPECT_EQ(count, 4);
    EXPECT_EQ(readFile(settingsPath()), " 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n");
}

}  // namespace
