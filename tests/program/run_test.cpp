// Runs as the operator starts and stops them: the recording file, the
// presentation of the run state, and a change of port in the middle.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <QPalette>
#include <QWidget>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "rte/testing/testing.h"
#include "run/run_control.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

using rte::testing::operate;
using rte::testing::popupLog;
using rte::testing::queueConfirm;
using rte::testing::queueFileSelect;
using rte::testing::queueMessageAck;

class Run : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram();
    }
    void expectPresentation(bool running)
    {
        EXPECT_EQ(dimmed(kMainOpenFile), running);
        EXPECT_EQ(dimmed(kMainReading), !running);
        EXPECT_EQ(dimmed(kMainQuantity), running);
        const auto colour = [this](int control) {
            return rte::testing::widget(state.main_panel, control)
                ->palette()
                .color(QPalette::Button)
                .rgb() &
                   0xFFFFFF;
        };
        EXPECT_EQ(colour(kMainStart), static_cast<unsigned>(running ? kColourGrey : kColourGreen));
        EXPECT_EQ(colour(kMainStop), static_cast<unsigned>(running ? kColourDarkRed : kColourGrey));
    }
    static std::string portStatus()
    {
        char text[300] = "";
        GetCtrlVal(state.com_panel, kPortStatus, text);
        return text;
    }
};

TEST_F(Run, ARecordedRunWritesOneLinePerCycleAndStopEndsIt)
{
    const std::string path = dir.file("run.dat");
    settings.interval = 0.5;
    startRun(path);
    expectPresentation(true);
    EXPECT_EQ(controlText(kMainFile), path);
    for (int k = 1; k < 300; k++)
        tickAt(0.5 * k + 0.01);
    operate(state.main_panel, kMainStop);
    EXPECT_EQ(state.running, 0);
    EXPECT_EQ(state.recording, 0);
    expectPresentation(false);
    tickAt(1000);  // no cycle after the stop

    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 300u);
    EXPECT_EQ(lines[0].substr(0, 5), " 0.0\t");
    EXPECT_EQ(lines[299].substr(0, 7), " 149.5\t");
    for (const std::string &line : lines) {
        double t, v;
        char tail[4];
        ASSERT_EQ(std::sscanf(line.c_str(), " %lf\t%lf%3c", &t, &v, tail), 3) << line;
        EXPECT_EQ(line.back(), ' ') << line;
        EXPECT_NE(line.find("e+"), std::string::npos) << line;
    }
    // No alarm limits were ever read or set: nothing to raise or record.
    EXPECT_FALSE(std::ifstream(dir.file("run.events")).good());
    EXPECT_TRUE(rte::testing::notifications().empty());
}

TEST_F(Run, StartingTwiceTakesNoExtraReading)
{
    startRun();
    EXPECT_EQ(controlText(kMainFile), "no file");
    const long queries = sim->status().queries;
    operate(state.main_panel, kMainStart);
    EXPECT_EQ(sim->status().queries, queries);
    EXPECT_EQ(state.n_points, 1);
}

TEST_F(Run, TheRecordingFileDialog)
{
    const std::string existing = dir.file("old.dat");
    std::ofstream(existing) << " 0.0\t1.0e+00 \n 1.0\t2.0e+00 \n";

    // Existing, answer no: the dialog comes back; then cancelled.
    queueFileSelect(kSelectionExisting, existing);
    queueConfirm(0);
    queueFileSelect(kSelectionCancelled, "");
    operate(state.main_panel, kMainStart);
    EXPECT_EQ(state.recording, 0);
    EXPECT_EQ(controlText(kMainFile), "no file");
    EXPECT_EQ(readLines(existing).size(), 2u) << "declined file untouched";
    operate(state.main_panel, kMainStop);

    // Existing, answer yes: emptied and recorded afresh.
    queueFileSelect(kSelectionExisting, existing);
    queueConfirm(1);
    operate(state.main_panel, kMainStart);
    EXPECT_EQ(state.recording, 1);
    tickAt(1.0);
    operate(state.main_panel, kMainStop);
    EXPECT_EQ(readLines(existing).size(), 2u);
    EXPECT_EQ(readLines(existing)[0].substr(0, 5), " 0.0\t");

    // A file that cannot be opened: the operator is told, the run goes on.
    rte::testing::clearPopups();
    queueFileSelect(kSelectionNew, dir.file("no-such-folder/run.dat"));
    queueMessageAck();
    operate(state.main_panel, kMainStart);
    EXPECT_EQ(state.running, 1);
    EXPECT_EQ(state.recording, 0);
    EXPECT_EQ(controlText(kMainFile), "no file");
    ASSERT_EQ(popupLog().size(), 2u);
    EXPECT_NE(popupLog()[1].find("no-such-folder/run.dat"), std::string::npos);
}

// Each named analyser keeps where its recordings go; the copy without a
// name writes no file for it and lets the dialog choose, as before.
TEST_F(Run, ANamedAnalyserOpensTheRecordingDialogWhereItsLastRecordingWent)
{
    char dir0[kPathSize];
    ASSERT_EQ(GetSettingsDir(dir0), 0);
    const std::filesystem::path unnamed(dir0);
    const auto run = [&](const std::string &path) {
        rte::testing::clearPopups();
        startRun(path);
        operate(state.main_panel, kMainStop);
        return popupLog().empty() ? std::string() : popupLog().front();
    };
    std::filesystem::create_directories(dir.file("a"));
    std::filesystem::create_directories(dir.file("b"));
    EXPECT_EQ(run(dir.file("a/run.dat")), "file|Filename");
    EXPECT_FALSE(std::filesystem::exists(unnamed / "vandrel-recordings.ini"));

    ASSERT_EQ(SelectProfile("recording-folder"), 0);
    char own[kPathSize];
    ASSERT_EQ(GetSettingsDir(own), 0);
    EXPECT_EQ(run(dir.file("b/run.dat")), "file|Filename") << "nothing kept yet";
    EXPECT_EQ(run(dir.file("a/run.dat")), "file|Filename|" + dir.file("b"));
    EXPECT_EQ(run(""), "file|Filename|" + dir.file("a"));
    std::filesystem::remove_all(own);
}

TEST_F(Run, AFailedWriteIsShownAtOnceAndTheRunGoesOn)
{
    startRun("/dev/full");
    EXPECT_EQ(state.recording, 1);
    EXPECT_EQ(controlText(kMainFile).rfind("NOT RECORDED", 0), 0u) << controlText(kMainFile);
    tickAt(1.0);
    EXPECT_EQ(state.running, 1);
    EXPECT_EQ(state.n_points, 2);
}

TEST_F(Run, APortChangeDuringARecordedRun)
{
    const std::string path = dir.file("run.dat");
    startRun(path);
    tickAt(1.0);

    // The same number: closed, opened again, and the run goes on.
    rte::testing::activateMenuItem(state.menu_bar, kMainSerialPortItem);
    EXPECT_TRUE(rte::testing::panelVisible(state.com_panel));
    operate(state.com_panel, kPortOk);
    EXPECT_FALSE(rte::testing::panelVisible(state.com_panel));
    EXPECT_EQ(state.running, 1);
    EXPECT_EQ(state.port_open, 1);
    tickAt(2.0);
    EXPECT_EQ(readLines(path).size(), 3u);
    EXPECT_NE(controlText(kMainReading), "NO CONNECTION");

    // A number that does not open: told, then the run and the file end.
    // The port panel stays, saying why.
    rte::testing::activateMenuItem(state.menu_bar, kMainSerialPortItem);
    rte::testing::typeInto(state.com_panel, kPortNumber, "99");
    queueMessageAck();
    operate(state.com_panel, kPortOk);
    EXPECT_EQ(popupLog().back(), "|COM port cannot be opened !");
    EXPECT_TRUE(rte::testing::panelVisible(state.com_panel));
    EXPECT_EQ(portStatus(), "Port 99 cannot be opened: not there.");
    EXPECT_EQ(settings.com_port, 99);
    EXPECT_EQ(state.port_open, 0);
    EXPECT_EQ(state.running, 0);
    EXPECT_EQ(state.recording, 0);
    expectPresentation(false);
    tickAt(3.0);
    EXPECT_EQ(readLines(path).size(), 3u);

    // The next start tries the stored number again and shows the panel.
    operate(state.main_panel, kMainStart);
    EXPECT_EQ(state.running, 0);
    EXPECT_TRUE(rte::testing::panelVisible(state.com_panel));
    int shown = 0;
    GetCtrlVal(state.com_panel, kPortNumber, shown);
    EXPECT_EQ(shown, 99);
    EXPECT_EQ(portStatus(), "Port 99 cannot be opened: not there.");

    // The simulator's number again: the panel goes, and says nothing more.
    rte::testing::typeInto(state.com_panel, kPortNumber, std::to_string(kSimPort).c_str());
    operate(state.com_panel, kPortOk);
    EXPECT_EQ(state.port_open, 1);
    EXPECT_FALSE(rte::testing::panelVisible(state.com_panel));
    EXPECT_EQ(portStatus(), "");
}

}  // namespace
}  // namespace program_test
