#include "tests/program/program_fixture.h"

#include <cstdlib>
#include <fstream>

#include <QWidget>

#include "app/callbacks.h"
#include "app/panel_ids.h"
#include "app/shell.h"
#include "app/state.h"
#include "link/serial_port.h"
#include "rte/formatio.h"
#include "rte/rs232.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "run/cycle.h"
#include "run/run_control.h"

namespace program_test {

double now = 0.0;

static double testClock() { return now; }

static RunState panels;  // the handles, loaded once for the whole test program

void ProgramTest::SetUp()
{
    rte::testing::clearPopups();
    rte::testing::setClock(testClock);
    now = 0.0;
}

void ProgramTest::TearDown()
{
    if (state.recording)
        CloseFile(state.log_file);
    if (state.port_open)
        CloseCom(settings.com_port);
    state.running = 0;
    state.recording = 0;
    state.port_open = 0;
    rte::testing::setClock(nullptr);
    EXPECT_EQ(rte::testing::pendingAnswers(), 0) << "a queued popup answer was not taken";
    sim.reset();
}

void ProgramTest::startProgram(const std::vector<std::string> &simOptions)
{
    sim = std::make_unique<support::SimulatedAnalyser>(simOptions);
    setenv(("RTE_COM" + std::to_string(kSimPort)).c_str(), sim->linkPath().c_str(), 1);
    state = RunState{};
    state.main_panel = panels.main_panel;
    state.com_panel = panels.com_panel;
    state.info_panel = panels.info_panel;
    state.menu_bar = panels.menu_bar;
    settings = Settings{kSimPort, 1.0, 1, 1, 0, 0.0, 10.0};
    settings_zeigen();
    ComOpen();
    ASSERT_EQ(state.port_open, 1);
}

void ProgramTest::startRun(const std::string &path)
{
    rte::testing::queueFileSelect(path.empty() ? kSelectionCancelled : kSelectionNew, path);
    rte::testing::operate(state.main_panel, kMainStart);
    ASSERT_EQ(state.running, 1);
}

void ProgramTest::tickAt(double t)
{
    now = t;
    timer2(state.main_panel, kMainTimer, kEventTick, nullptr, 0, 0);
}

std::string ProgramTest::controlText(int control)
{
    char text[512];
    GetCtrlVal(state.main_panel, control, text);
    return text;
}

int ProgramTest::controlInt(int control)
{
    int value = -1;
    GetCtrlVal(state.main_panel, control, value);
    return value;
}

bool ProgramTest::dimmed(int control)
{
    return !rte::testing::widget(state.main_panel, control)->isEnabled();
}

std::vector<std::string> readLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace program_test

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    start_engine(argc, argv);
    using program_test::panels;
    laden();
    panels = state;
    DisplayPanel(panels.main_panel);
    // The engine's own end releases the toolkit, so that leak checking
    // sees only what the tests left behind.
    ExitProgram(RUN_ALL_TESTS());
    RunUserInterface();
    return 1;
}

namespace program_test {
std::vector<std::pair<double, double>> ProgramTest::lastPlotPoints()
{
    return rte::testing::plotPoints(state.main_panel, kMainGraph, rte::testing::lastPlot(state.main_panel, kMainGraph));
}
}  // namespace program_test
