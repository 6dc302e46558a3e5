// The Summary panel on real widgets (offscreen) with the simulated
// analyser: the run going on and stored recordings, hostile ones too, and
// the export and the report from its buttons, the report's text and first
// page read back with poppler.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <QImage>
#include <QWidget>

#include "alarm/alarm_settings.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "summary/summary_panel.h"
#include "summary/summary_text.h"
#include "tests/program/program_fixture.h"
#include "tests/summary/poppler.h"

namespace program_test {
namespace {

namespace t = rte::testing;

const int kFields[kSummaryFields] = {
    kSummaryRecording, kSummaryReadings, kSummaryDuration, kSummaryMinimum, kSummaryMaximum,    kSummaryMean,
    kSummaryDeviation, kSummaryHigh,     kSummaryLow,      kSummaryUnanswered, kSummaryEvents, kSummaryRead,
};

class SummaryPanel : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram({"--no-pacing"});
        alarm_settings = AlarmSettings{};
        alarm_settings.limits[0] = {0, 0, 1, 10, 1};
    }
    void TearDown() override
    {
        if (state.running)
            t::operate(state.main_panel, kMainStop);
        alarm_settings = AlarmSettings{};
        ProgramTest::TearDown();
    }
    std::string field(int f)
    {
        char text[kSummaryTextSize];
        GetCtrlVal(summary_panel, kFields[f], text);
        return text;
    }
    std::string write(const std::string &name, const std::string &text)
    {
        const std::string path = dir.path() + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // A run recorded to run.dat, cycles + 1 readings so far.
    std::string recordRun(int cycles)
    {
        const std::string run = dir.path() + "/run.dat";
        startRun(run);
        for (int i = 1; i <= cycles; ++i)
            tickAt(i);
        return run;
    }
    void sumUpOther(const std::string &path)
    {
        t::queueFileSelect(kSelectionExisting, path);
        t::operate(summary_panel, kSummaryOther);
    }
};

const char kOneExcursion[] = " 0.0\t1 \n 1.0\t1 \n 2.0\t12 \n 3.0\t15 \n 4.0\t1 \n 5.0\t1 \n";

// Every field is named for a screen reader after its caption, and says
// what the run going on has so far.
TEST_F(SummaryPanel, TheRunGoingOnThenAStoredRecording)
{
    const std::string run = recordRun(4);
    t::activateMenuItem(state.menu_bar, kMainSummaryItem);
    ASSERT_GT(summary_panel, 0);
    EXPECT_TRUE(t::panelVisible(summary_panel));
    for (int f = 0; f < kSummaryFields; ++f)
        EXPECT_EQ(t::widget(summary_panel, kFields[f])->accessibleName().toStdString(), summary_label(f));
    EXPECT_EQ(field(kFieldRecording), run + " (the run going on)");
    EXPECT_EQ(field(kFieldReadings), "5");
    EXPECT_EQ(field(kFieldRead), "The whole file.");
    // No file dialog while the run goes on: it would hold up the cycles.
    const std::size_t popups = t::popupLog().size();
    for (const int button : {kSummaryExport, kSummaryReport, kSummaryOther})
        t::operate(summary_panel, button);
    EXPECT_EQ(t::popupLog().size(), popups);
    char said[200];
    GetCtrlVal(summary_panel, kSummaryStatus, said);
    EXPECT_STREQ(said, "Not during a run: a file dialog would hold up its readings. Stop the run first.");

    t::operate(state.main_panel, kMainStop);
    sumUpOther(write("stored.dat", kOneExcursion));
    EXPECT_EQ(field(kFieldReadings), "6");
    EXPECT_EQ(field(kFieldMaximum), "15 ppm at 3.0 s");
    EXPECT_EQ(field(kFieldHigh), "10 ppm: 2.0 s above it in 1 excursion, the longest 2.0 s");
    EXPECT_EQ(field(kFieldLow), "off");
    EXPECT_EQ(t::plotPoints(summary_panel, kSummaryGraph, t::lastPlot(summary_panel, kSummaryGraph)).size(), 6u);
}

// A run the program recorded has its run file: the export gives each
// reading's time from the run's start, and the report names the run's
// particulars and the seal's verdict.
TEST_F(SummaryPanel, ARecordedRunWithItsRunFile)
{
    // Through the middle of what the simulated analyser gives, so that
    // the run goes above it and back.
    alarm_settings.limits[0] = {0, 0, 1, 210000, 1};
    const std::string run = recordRun(60);
    t::operate(state.main_panel, kMainStop);
    alarm_settings.limits[0] = {0, 0, 0, 0, 1};
    t::activateMenuItem(state.menu_bar, kMainSummaryItem);
    EXPECT_EQ(field(kFieldRecording), run);
    EXPECT_EQ(field(kFieldReadings), "61");
    EXPECT_EQ(field(kFieldHigh).rfind("210000 ppm: ", 0), 0u) << field(kFieldHigh) << ": the limit stored with the run";

    std::string startLocal;
    for (const std::string &line : readLines(dir.path() + "/run.info"))
        if (line.rfind("start_local=", 0) == 0)
            startLocal = line.substr(12);
    ASSERT_EQ(startLocal.size(), 29u) << "2026-12-10T17:25:03.120+01:00";
    const std::string csv = dir.path() + "/run.csv";
    t::queueFileSelect(kSelectionNew, csv);
    t::queueMessageAck();
    t::operate(summary_panel, kSummaryExport);
    const std::vector<std::string> rows = readLines(csv);
    ASSERT_EQ(rows.size(), 62u);
    EXPECT_EQ(rows[0], "time,elapsed_s,value,unit\r");
    EXPECT_EQ(rows[1].substr(0, 32), startLocal + ",0,") << "the first reading at the start";

    const std::string pdf = dir.path() + "/run.pdf";
    t::queueFileSelect(kSelectionNew, pdf);
    t::queueMessageAck();
    t::operate(summary_panel, kSummaryReport);
    const std::string text = poppler::text(pdf);
    for (const std::string &says : {"Started: " + startLocal, std::string("Quantity: oxygen (ppm)"),
                                    std::string("Seal: intact: 61 lines, sealed to the end of the run"),
                                    std::string("Limits (in force at the start): high 210000 ppm, low off")})
        EXPECT_NE(text.find(says), std::string::npos) << says << " in\n" << text;

    // For whoever looks: the panel and the report's first page as pictures.
    t::widget(summary_panel, kSummaryGraph)->window()->grab().save(QString(VANDREL_ARTEFACTS "/summary-panel.png"));
    poppler::firstPage(pdf, VANDREL_ARTEFACTS "/report-page");
}

// What the viewer meets in files that were never recordings, summed up
// as far as they read, or said; never a crash or a wait.
TEST_F(SummaryPanel, HostileRecordings)
{
    mkdir((dir.path() + "/folder.dat").c_str(), 0700);
    const struct {
        const char *name;
        std::string path;
        const char *readings, *read;
    } cases[] = {
        {"binary", write("binary.dat", std::string("\x89PNG\r\n\x1a\n\x00\x00", 10)), "0",
         "Up to text that is not a reading; the last 3 lines of the file are not read."},
        {"NUL bytes", write("nul.dat", std::string("0 1\n1 2\n\0\0\0 3 4\n", 17)), "2",
         "Up to text that is not a reading; the last 2 lines of the file are not read."},
        {"a million characters on a line", write("long.dat", "0 1\n" + std::string(1000000, '5') + " 2\n"), "1",
         "Up to text that is not a reading; the last 1 line of the file is not read."},
        {"empty", write("empty.dat", ""), "0", "The whole file."},
        {"a folder", dir.path() + "/folder.dat", "0",
         "The recording cannot be opened: no permission to read it, or it is a folder."},
        {"gone", dir.path() + "/gone.dat", "0", "The recording cannot be opened: it is not there."},
    };
    // No recording on the main panel yet: the menu item asks for one.
    t::queueFileSelect(kSelectionExisting, cases[0].path);
    t::activateMenuItem(state.menu_bar, kMainSummaryItem);
    ASSERT_GT(summary_panel, 0);
    for (const auto &c : cases) {
        sumUpOther(c.path);
        EXPECT_EQ(field(kFieldReadings), c.readings) << c.name;
        EXPECT_EQ(field(kFieldRead), c.read) << c.name;
    }
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(SummaryPanel, ExportAndReportFromItsButtons)
{
    write("stored.events", "2026-12-10T17:38:26.132+01:00\t2.0\talarm_high\t1.200000e+01\t1.000000e+01\n"
                           "2026-12-10T17:38:27.132+01:00\t3.0\tchanged\tnan\tnan\talice\tinterval\t1\t2.5\n");
    t::queueFileSelect(kSelectionExisting, write("stored.dat", kOneExcursion));
    t::activateMenuItem(state.menu_bar, kMainSummaryItem);

    const std::string csv = dir.path() + "/stored.csv";
    t::queueFileSelect(kSelectionNew, csv);
    t::queueMessageAck();
    t::operate(summary_panel, kSummaryExport);
    EXPECT_EQ(readAll(csv), "elapsed_s,value,unit\r\n0,1,ppm\r\n1,1,ppm\r\n2,12,ppm\r\n3,15,ppm\r\n4,1,ppm\r\n5,1,ppm\r\n");

    const std::string pdf = dir.path() + "/stored.pdf";
    t::queueFileSelect(kSelectionNew, pdf);
    t::queueMessageAck();
    t::operate(summary_panel, kSummaryReport);
    const std::string text = poppler::text(pdf);
    for (const char *says : {"Summary", "Readings: 6", "High limit: 10 ppm: 2.0 s above it in 1 excursion",
                             "Events: 1 alarm_high, 1 changed", "2.0 s alarm_high 12 10",
                             "3.0 s changed interval: 1 -> 2.5 (alice)"})
        EXPECT_NE(text.find(says), std::string::npos) << says << " in\n" << text;
    EXPECT_GT(poppler::pixelsNear(pdf, 0x000080), 100) << "the curve in its colour on the first page";
}

}  // namespace
}  // namespace program_test
