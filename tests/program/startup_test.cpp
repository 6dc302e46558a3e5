// The program from start to end, each start in a process of its own: the
// settings it starts with, the panels it shows, and what it leaves behind
// when the main window is closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "alarm/alarm_panel.h"
#include "app/callbacks.h"
#include "app/panel_ids.h"
#include "app/shell.h"
#include "app/state.h"
#include "rte/formatio.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/cycle.h"
#include "tools/child_process.h"
#include "tools/simulated_analyser.h"
#include "tools/sleep_until.h"
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
                    require(ctrlDouble(kMainInterval) == 1.0 && ctrlDouble(kMainYMin) == 0.0 &&
                                ctrlDouble(kMainYMax) == 10.0,
                            "default interval and y range shown");
                    require(ctrlInt(state.main_panel, kMainAutoscale) == 1 &&
                                ctrlInt(state.main_panel, kMainQuantity) == 1 &&
                                ctrlInt(state.main_panel, kMainLogScale) == 0,
                            "default switches and quantity shown");
                    require(state.port_open == 0, "no port");
                    require(panelVisible(state.com_panel), "port panel shown");
                    require(ctrlInt(state.com_panel, kPortNumber) == 1, "port panel shows port 1");
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
                    require(ctrlDouble(kMainInterval) == 2.5 && ctrlDouble(kMainYMin) == -1.0 &&
                                ctrlDouble(kMainYMax) == 50.0,
                            "stored interval and y range shown");
                    require(ctrlInt(state.main_panel, kMainAutoscale) == 0 &&
                                ctrlInt(state.main_panel, kMainQuantity) == 2 &&
                                ctrlInt(state.main_panel, kMainLogScale) == 1,
                            "stored switches and quantity shown");
                    require(state.port_open == 1 && !panelVisible(state.com_panel),
                            "stored port opened");
                    for (int i = 0; i < 3; i++) {
                        operate(state.main_panel, kMainAbout);
                        require(panelVisible(state.info_panel), "info panel shown");
                        char shown[512];
                        GetCtrlVal(state.info_panel, kInfoSettingsFile, shown);
                        require(shown == "Settings file: " + settingsPath(),
                                "the info panel names the settings file");
                        closePanel(state.info_panel);
                        require(!panelVisible(state.info_panel), "info panel hidden");
                    }
                    // Typed but not committed: restoring puts the stored
                    // values back and leaves the switches alone.
                    typeInto(state.main_panel, kMainInterval, "9", false);
                    SetCtrlVal(state.main_panel, kMainLogScale, 0);
                    activateMenuItem(state.menu_bar, kMainRestoreItem);
                    require(ctrlDouble(kMainInterval) == 2.5, "stored value back");
                    require(ctrlInt(state.main_panel, kMainLogScale) == 0, "log switch left alone");
                }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(settingsPath()), stored);
}

// A window that the start has made but not yet filled with controls.
bool unmade(const char *title)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QLatin1String(title))
            return w->findChildren<QWidget *>().isEmpty();
    return false;
}

// The panels the operator opens from the menus and buttons are made when
// first opened, not on the way to the first paint; what the start found
// shows in them all the same.
TEST_F(Startup, PanelsNotYetOpenedAreMadeWhenOpenedAndSayWhatTheStartFound)
{
    support::SimulatedAnalyser sim;
    setenv("RTE_COM1", sim.linkPath().c_str(), 1);
    char dir[kPathSize];
    GetProjectDir(dir);
    const std::string alarms = std::string(dir) + "/vandrel-alarms.ini";
    std::ofstream(alarms) << "vandrel-alarms 1\nsomething else entirely\n";
    EXPECT_EXIT(runProgram([] {
                    require(state.port_open == 1, "port opened");
                    for (const char *title : {"Serial port", "About Vandrel", "Alarms"})
                        require(unmade(title), title);
                    activateMenuItem(state.menu_bar, kMainAlarmsItem);
                    require(panelVisible(alarm_panel), "alarm panel shown");
                    char status[256] = "";
                    GetCtrlVal(alarm_panel, kAlarmsStatus, status);
                    require(std::string(status) ==
                                "The alarm settings file is damaged: no limits are set until new ones are applied.",
                            "the alarm panel says what the start found");
                    closePanel(alarm_panel);
                    activateMenuItem(state.menu_bar, kMainSerialPortItem);
                    require(panelVisible(state.com_panel), "port panel shown");
                    char why[300] = "x";
                    GetCtrlVal(state.com_panel, kPortStatus, why);
                    require(why[0] == '\0', "an open port has no reason on the port panel");
                    closePanel(state.com_panel);
                }),
                ::testing::ExitedWithCode(0), "");
    std::remove(alarms.c_str());
}

TEST_F(Startup, ClosingDuringARecordedRunKeepsEveryLine)
{
    support::SimulatedAnalyser sim;
    support::TempDir dir;
    setenv("RTE_COM1", sim.linkPath().c_str(), 1);
    const std::string path = dir.file("run.dat");
    EXPECT_EXIT(runProgram([&path] {
                    queueFileSelect(kSelectionNew, path);
                    operate(state.main_panel, kMainStart);
                    require(state.running == 1 && state.recording == 1, "recorded run");
                    for (int i = 0; i < 3; i++)
                        timer2(state.main_panel, kMainTimer, kEventTick, nullptr, 0, 0);
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

TEST_F(Startup, ClosingDuringAnAlarmEndsItInTheEventFile)
{
    support::SimulatedAnalyser sim;
    support::TempDir dir;
    setenv("RTE_COM1", sim.linkPath().c_str(), 1);
    char own[kPathSize];
    GetProjectDir(own);
    const std::string limits = std::string(own) + "/vandrel-alarms.ini";
    // A high oxygen limit far below the simulator's readings in air.
    std::ofstream(limits) << "vandrel-alarms 1\noxygen 0 0 1 10 1\nvoltage 0 0 0 0 1\n"
                             "temperature 0 0 0 0 1\nno-answer 0 3\n";
    const std::string path = dir.file("run.dat");
    EXPECT_EXIT(runProgram([&path] {
                    queueFileSelect(kSelectionNew, path);
                    operate(state.main_panel, kMainStart);
                    require(state.running == 1 && state.recording == 1, "recorded run");
                    require(alertSounding(), "an alarm in force");
                }),
                ::testing::ExitedWithCode(0), "");
    std::remove(limits.c_str());
    std::istringstream lines(readFile(dir.file("run.events")));
    std::vector<std::string> events;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string time, elapsed, event;
        fields >> time >> elapsed >> event;
        events.push_back(event);
    }
    EXPECT_EQ(events, (std::vector<std::string>{"alarm_high", "stopped"}));
}

// A folder whose path takes exactly `bytes` bytes, made in `top`.
std::string folderOfLength(const std::string &top, std::size_t bytes)
{
    std::string path = top + "/" + std::to_string(bytes);
    ::mkdir(path.c_str(), 0755);
    while (path.size() < bytes) {
        std::size_t part = std::min<std::size_t>(bytes - path.size() - 1, 200);
        if (bytes - path.size() - 1 - part == 1)
            part--;  // no room would be left for a last part of its own
        path += "/" + std::string(part, 'd');
        ::mkdir(path.c_str(), 0755);
    }
    return path;
}

std::vector<std::string> names(const std::string &folder)
{
    std::vector<std::string> found;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

ino_t inode(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The program kept in folders whose paths approach and pass the 260 bytes
// of its path buffers: the file the info panel names is the only settings
// file read and written, and replaced whole, never rewritten in place;
// where no name fits, nothing is read or written anywhere and the operator
// is told once.
TEST(SettingsPlace, FoldersAtAndPastThePathLimit)
{
    support::TempDir top;
    setenv("RTE_COM1", "/nonexistent/analyser", 1);
    const std::string stored = " 1 2.500000 0 2 1 -1.000000 50.000000  Kv_2014\n";
    const struct {
        std::size_t folderBytes;  // "/vandrel.ini" adds 12
        bool named;
    } rows[] = {{246, true}, {247, true}, {248, false}, {259, false}, {300, false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.folderBytes);
        const std::string folder = folderOfLength(top.path(), row.folderBytes);
        ASSERT_EQ(folder.size(), row.folderBytes);
        const std::string program = folder + "/vandrel", file = folder + "/vandrel.ini";
        std::filesystem::copy_file(SETTINGS_PROBE_PATH, program);
        std::filesystem::copy_file(PANEL_FILE_PATH, folder + "/Vandrel_V3.uir");
        std::ofstream(file) << stored;
        const ino_t before = inode(file);
        // The program is started from a folder of its own, which must stay empty.
        const std::string elsewhere = top.file("cwd" + std::to_string(row.folderBytes));
        ::mkdir(elsewhere.c_str(), 0755);
        const std::string output = top.file("output" + std::to_string(row.folderBytes));
        char own[4096];
        ASSERT_NE(::getcwd(own, sizeof own), nullptr);
        ASSERT_EQ(::chdir(elsewhere.c_str()), 0);
        {
            support::ChildProcess probe({program}, output);
            EXPECT_TRUE(support::sleepUntil([&probe] { return !probe.running(); }, std::chrono::seconds(60)));
        }
        ASSERT_EQ(::chdir(own), 0);

        std::istringstream said(readFile(output));
        std::string infoLine, portLine, line;
        std::getline(said, infoLine);
        std::getline(said, portLine);
        int popups = 0;
        while (std::getline(said, line))
            popups += line.rfind("popup ", 0) == 0;
        EXPECT_EQ(names(elsewhere), std::vector<std::string>{});
        EXPECT_EQ(names(folder), (std::vector<std::string>{"Vandrel_V3.uir", "vandrel", "vandrel.ini"}));
        if (row.named) {
            EXPECT_EQ(infoLine, "Settings file: " + file);
            EXPECT_EQ(popups, 0);
            EXPECT_EQ(readFile(file), stored);
            EXPECT_NE(inode(file), before) << "rewritten in place";
        } else {
            EXPECT_EQ(infoLine.rfind("Settings file: none", 0), 0u) << infoLine;
            EXPECT_EQ(portLine, "port 1");
            EXPECT_EQ(popups, 1);
            EXPECT_EQ(readFile(file), stored);
            EXPECT_EQ(inode(file), before);
        }
    }
}

// A settings file that cannot be replaced (here a folder stands in its
// place, which holds back root too): the end of the program says so, naming
// the file, and leaves what is there alone.
TEST(SettingsPlace, ASaveThatCannotReplaceTheFileIsSaidAtTheEnd)
{
    support::TempDir top;
    setenv("RTE_COM1", "/nonexistent/analyser", 1);
    const std::string program = top.file("vandrel"), file = top.file("vandrel.ini");
    std::filesystem::copy_file(SETTINGS_PROBE_PATH, program);
    std::filesystem::copy_file(PANEL_FILE_PATH, top.file("Vandrel_V3.uir"));
    ASSERT_EQ(::mkdir(file.c_str(), 0755), 0);
    std::ofstream(file + "/kept") << "kept\n";
    const std::string output = top.file("output");
    {
        support::ChildProcess probe({program}, output);
        EXPECT_TRUE(support::sleepUntil([&probe] { return !probe.running(); }, std::chrono::seconds(60)));
    }
    std::istringstream said(readFile(output));
    std::vector<std::string> atTheEnd;
    for (std::string line; std::getline(said, line);)
        if (line.rfind("popup at the end ", 0) == 0)
            atTheEnd.push_back(line.substr(17));
    ASSERT_EQ(atTheEnd.size(), 1u) << readFile(output);
    EXPECT_EQ(atTheEnd[0].rfind("Settings|The settings could not be saved: " + file + " could not be written", 0), 0u)
        << atTheEnd[0];
    EXPECT_EQ(readFile(file + "/kept"), "kept\n");
}

}  // namespace
