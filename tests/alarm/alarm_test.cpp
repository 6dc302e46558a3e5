// Alarm limits as the operator sets them in the Alarms panel and meets
// them during a run: the reading's colour and reason, the window title, the
// desktop notification and sound, Acknowledge, the event file, and the
// alarm settings file.
#include <sys/stat.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <functional>
#include <utility>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <QPalette>
#include <QWidget>

#include "alarm/alarm_check.h"
#include "alarm/alarm_panel.h"
#include "alarm/alarm_settings.h"
#include "alarm/event_file.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

namespace t = rte::testing;

// One event line: local time with its offset, elapsed seconds, event,
// value, limit; a change of the operator's during the run four texts more.
const std::regex kEventLine(
    R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d\t\d+\.\d\t([a-z_]+)\t(\S+)\t(\S+))"
    R"((?:\t[^\t]+\t[a-z_.]+\t[^\t]*\t[^\t]*)?)");

struct Limit {
    int quantity;  // 0 oxygen, 1 voltage, 2 temperature
    int lowOn;
    double low;
    int highOn;
    double high;
    int delay = 1;
};

std::string settingsFile(const char *name)
{
    char dir[kPathSize], path[kPathSize];
    GetSettingsDir(dir);
    MakePathname(dir, name, path);
    return path;
}

class Alarm : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        std::remove(settingsFile("vandrel-alarms.ini").c_str());
        // Once for the whole test program, whichever fixture comes first.
        if (alarm_panel <= 0)
            alarms_start();
        alarms_read();
        t::clearAlerts();
        // Replies as fast as the terminal gives them: a reply paced like
        // the wire, late on a loaded machine, would be a cycle without an
        // answer and shift every count.
        startProgram({"--no-pacing"});
    }
    void TearDown() override
    {
        if (state.running)
            operate(kMainStop);
        ProgramTest::TearDown();
        std::remove(settingsFile("vandrel-alarms.ini").c_str());
    }

    void operate(int control) { t::operate(state.main_panel, control); }
    void tick() { tickAt(now + 1.0); }

    // Typed into the Alarms panel and applied, as the operator does.
    void apply(const std::vector<Limit> &limits, int silenceOn = 0, int silenceCycles = 3)
    {
        static const int kControls[3][5] = {
            {kAlarmsOxygenLowOn, kAlarmsOxygenLow, kAlarmsOxygenHighOn, kAlarmsOxygenHigh, kAlarmsOxygenDelay},
            {kAlarmsVoltageLowOn, kAlarmsVoltageLow, kAlarmsVoltageHighOn, kAlarmsVoltageHigh, kAlarmsVoltageDelay},
            {kAlarmsTemperatureLowOn, kAlarmsTemperatureLow, kAlarmsTemperatureHighOn, kAlarmsTemperatureHigh,
             kAlarmsTemperatureDelay},
        };
        const auto setSwitch = [](int control, int on) {
            int now = 0;
            GetCtrlVal(alarm_panel, control, now);
            if (now != on)
                t::operate(alarm_panel, control);
        };
        const auto type = [](int control, double value) {
            std::ostringstream text;
            text << value;
            t::typeInto(alarm_panel, control, text.str().c_str());
        };
        t::activateMenuItem(state.menu_bar, kMainAlarmsItem);
        for (const Limit &l : limits) {
            const int *c = kControls[l.quantity];
            setSwitch(c[0], l.lowOn);
            type(c[1], l.low);
            setSwitch(c[2], l.highOn);
            type(c[3], l.high);
            type(c[4], l.delay);
        }
        setSwitch(kAlarmsSilenceOn, silenceOn);
        type(kAlarmsSilenceCycles, silenceCycles);
        t::operate(alarm_panel, kAlarmsApply);
    }

    std::string panelStatus()
    {
        char text[256];
        GetCtrlVal(alarm_panel, kAlarmsStatus, text);
        return text;
    }
    std::string title()
    {
        char text[160];
        GetPanelAttribute(state.main_panel, kAttrTitle, text);
        return text;
    }
    bool shown(int control)
    {
        QWidget *w = t::widget(state.main_panel, control);
        return w->isVisibleTo(w->window());
    }
    unsigned readingColour()
    {
        return t::widget(state.main_panel, kMainReading)->palette().color(QPalette::Text).rgb() & 0xFFFFFF;
    }
    // The events of a file: each line checked for its form, then its event.
    std::vector<std::string> events(const std::string &path)
    {
        std::vector<std::string> names;
        for (const std::string &line : readLines(path)) {
            std::smatch m;
            EXPECT_TRUE(std::regex_match(line, m, kEventLine)) << line;
            names.push_back(m.size() > 1 ? m[1].str() : line);
        }
        return names;
    }
    void expectNoAlarm()
    {
        EXPECT_EQ(title(), "Vandrel V3 - Oxygen analyser");
        EXPECT_FALSE(shown(kMainAlarmReason));
        EXPECT_FALSE(shown(kMainAcknowledge));
        EXPECT_NE(readingColour(), static_cast<unsigned>(kColourRed));
        EXPECT_FALSE(t::alertSounding());
    }
    std::string reason() { return controlText(kMainAlarmReason); }
};

TEST_F(Alarm, AReadingAboveTheLimitIsShownSoundsUntilAcknowledgedAndEndsWhenItIsBackInside)
{
    apply({{0, 0, 0, 1, 1e5}});
    EXPECT_EQ(panelStatus(), "Applied and kept.");
    const std::string path = dir.file("run.dat");
    startRun(path);  // the first reading, about 2e5 ppm
    EXPECT_EQ(title().rfind("ALARM", 0), 0u) << title();
    EXPECT_EQ(reason(), "HIGH > 100000 ppm O2");
    EXPECT_TRUE(shown(kMainAlarmReason));
    EXPECT_TRUE(shown(kMainAcknowledge));
    EXPECT_EQ(readingColour(), static_cast<unsigned>(kColourRed));
    EXPECT_TRUE(t::alertSounding());

    // Raised once, however long it lasts; sounding again and again.
    tick();
    tick();
    EXPECT_EQ(t::notifications().size(), 1u);
    EXPECT_TRUE(t::waitUntil([] { return t::alertSounds() >= 2; }, 15));

    // Acknowledged: silent and without the button, but still shown.
    operate(kMainAcknowledge);
    EXPECT_FALSE(t::alertSounding());
    EXPECT_FALSE(shown(kMainAcknowledge));
    tick();
    EXPECT_FALSE(t::alertSounding());
    EXPECT_EQ(reason(), "HIGH > 100000 ppm O2");
    EXPECT_EQ(title().rfind("ALARM", 0), 0u);
    EXPECT_EQ(readingColour(), static_cast<unsigned>(kColourRed));

    // The reading back inside the limit, the new limit applied during the
    // run in the event file too.
    apply({{0, 0, 0, 1, 1e6}});
    tick();
    expectNoAlarm();
    EXPECT_EQ(t::notifications().size(), 1u);
    EXPECT_EQ(events(dir.file("run.events")),
              (std::vector<std::string>{"alarm_high", "acknowledged", "changed", "normal"}));
    std::smatch first;
    const std::vector<std::string> lines = readLines(dir.file("run.events"));
    ASSERT_TRUE(std::regex_match(lines[0], first, kEventLine));
    EXPECT_GT(std::stod(first[2].str()), 1e5);
    EXPECT_EQ(first[3].str(), "1.000000e+05");
}

TEST_F(Alarm, ALimitCountsAfterItsDelayInReadingsInARow)
{
    apply({{0, 1, 1e6, 0, 0, 3}});
    startRun();
    tick();
    EXPECT_FALSE(shown(kMainAlarmReason)) << "after two readings below the limit";
    tick();
    EXPECT_EQ(reason(), "LOW < 1000000 ppm O2");
}

TEST_F(Alarm, LimitsTheWrongWayRoundAreRefusedOnThePanel)
{
    apply({{0, 0, 0, 1, 1e5}});
    apply({{0, 1, 10, 1, 5}});
    EXPECT_EQ(panelStatus(),
              "Not applied: The low oxygen limit must be below the high one. The limits in force stay.");
    EXPECT_TRUE(t::popupLog().empty());
    EXPECT_EQ(alarm_settings.limits[0].low_on, 0);
    EXPECT_EQ(alarm_settings.limits[0].high, 1e5);
    alarms_read();  // the file holds what was in force
    EXPECT_EQ(alarm_settings.limits[0].low_on, 0);
    EXPECT_EQ(alarm_settings.limits[0].high, 1e5);
}

TEST_F(Alarm, LimitsOfAnotherQuantityWaitUntilItIsMeasured)
{
    // About 0 mV in air: below this limit once voltage is measured.
    apply({{1, 1, 100, 0, 0}});
    startRun();
    tick();
    EXPECT_FALSE(shown(kMainAlarmReason));
    operate(kMainStop);
    t::selectItem(state.main_panel, kMainQuantity, 1);
    ASSERT_EQ(settings.mode, 2);
    startRun();
    EXPECT_EQ(reason(), "LOW < 100 mV");
}

// A reading that is none (no answer, "nan", or a reply without a number,
// whose display keeps the previous value) neither raises nor ends a limit's
// alarm; enough of them in a row are the no-answer alarm.
TEST_F(Alarm, NoReadingCountsOnlyTowardTheNoAnswerAlarm)
{
    for (const char *mode : {"silent", "nan", "letter-only"}) {
        SCOPED_TRACE(mode);
        const std::string path = dir.file(std::string(mode) + ".dat");
        t::clearAlerts();
        apply({{0, 0, 0, 1, 1e5}}, 1, 2);
        startRun(path);
        sim->setMode(mode);
        tick();
        EXPECT_EQ(reason(), "HIGH > 100000 ppm O2");
        tick();
        EXPECT_EQ(reason(), "NO ANSWER for 2 cycles");
        EXPECT_EQ(t::notifications().size(), 2u);
        EXPECT_TRUE(t::alertSounding());
        sim->setMode("normal");
        tick();
        EXPECT_EQ(reason(), "HIGH > 100000 ppm O2");
        operate(kMainStop);
        const std::string events = dir.file(std::string(mode) + ".events");
        EXPECT_EQ(this->events(events),
                  (std::vector<std::string>{"alarm_high", "no_answer", "alarm_high", "stopped"}));
        std::smatch m;
        const std::vector<std::string> lines = readLines(events);
        ASSERT_TRUE(std::regex_match(lines[1], m, kEventLine));
        EXPECT_EQ(m[2].str(), "nan");
    }
}

TEST_F(Alarm, StoppingTheRunEndsTheAlarmAndEventsWithoutARecordingGoToADailyFile)
{
    char now[40];
    ASSERT_EQ(GetIsoTime(now, 0), 0);
    const std::string daily = settingsFile(("vandrel-events-" + std::string(now, 10) + ".events").c_str());
    std::remove(daily.c_str());
    apply({{0, 0, 0, 1, 1e5}});
    startRun();
    EXPECT_TRUE(t::alertSounding());
    operate(kMainStop);
    expectNoAlarm();
    EXPECT_EQ(events(daily), (std::vector<std::string>{"alarm_high", "stopped"}));
    std::remove(daily.c_str());
}

// However a recorded run ends during an alarm, its event file says so last,
// with the reading and the limit of the alarm that was in force: the Stop
// button, or a change to a port that does not open.
TEST_F(Alarm, ARunThatEndsDuringAnAlarmEndsItInItsEventFile)
{
    const struct {
        const char *name;
        std::function<void()> end;
        std::vector<std::string> events;
    } ways[] = {
        {"stop", [this] { operate(kMainStop); }, {"alarm_high", "stopped"}},
        {"port", [] {
             t::activateMenuItem(state.menu_bar, kMainSerialPortItem);
             t::typeInto(state.com_panel, kPortNumber, "99");
             t::queueMessageAck();
             t::operate(state.com_panel, kPortOk);
             HidePanel(state.com_panel);
         },
         // The port changed during the run, before it ended.
         {"alarm_high", "changed", "stopped"}},
    };
    apply({{0, 0, 0, 1, 1e5}});
    for (const auto &way : ways) {
        SCOPED_TRACE(way.name);
        startProgram();
        const std::string path = dir.file(std::string(way.name) + ".dat");
        startRun(path);
        tick();
        ASSERT_EQ(reason(), "HIGH > 100000 ppm O2");
        way.end();
        EXPECT_EQ(state.running, 0);
        expectNoAlarm();
        const std::string events = dir.file(std::string(way.name) + ".events");
        EXPECT_EQ(this->events(events), way.events);
        std::smatch last;
        const std::vector<std::string> lines = readLines(events);
        ASSERT_TRUE(std::regex_match(lines.back(), last, kEventLine));
        EXPECT_GT(std::stod(last[2].str()), 1e5);
        EXPECT_EQ(last[3].str(), "1.000000e+05");
    }
}

// A recording named as an event file would be: the events go beside it
// under a name of their own, and the recording holds readings only.
TEST_F(Alarm, ARecordingNamedLikeAnEventFileKeepsItsEventsApart)
{
    apply({{0, 0, 0, 1, 1e5}});
    for (const auto &[recording, events] : {std::pair{"run.events", "run.events.events"},
                                            std::pair{"RUN.EVENTS", "RUN.EVENTS.events"},
                                            std::pair{".events", ".events.events"}}) {
        SCOPED_TRACE(recording);
        startProgram();
        startRun(dir.file(recording));
        tick();
        operate(kMainStop);
        EXPECT_EQ(this->events(dir.file(events)), (std::vector<std::string>{"alarm_high", "stopped"}));
        const std::vector<std::string> lines = readLines(dir.file(recording));
        EXPECT_EQ(lines.size(), 2u);
        for (const std::string &line : lines)
            EXPECT_FALSE(std::regex_match(line, kEventLine)) << line;
    }
}

TEST_F(Alarm, AnEventFileThatCannotBeWrittenIsSaidBesideTheAlarm)
{
    // A folder where the event file would be.
    ASSERT_EQ(mkdir(dir.file("run.events").c_str(), 0700), 0);
    apply({{0, 0, 0, 1, 1e5}});
    startRun(dir.file("run.dat"));
    EXPECT_EQ(reason(), "HIGH > 100000 ppm O2 (NOT in the event file: it cannot be written)");
    EXPECT_TRUE(t::alertSounding());
    for (const std::string &popup : t::popupLog())
        EXPECT_EQ(popup.rfind("file|", 0), 0u) << "no popup but the recording's file dialog: " << popup;
}

TEST_F(Alarm, AMissingOrDamagedSettingsFileMeansNoLimitsAndThePanelSaysSo)
{
    const std::string file = settingsFile("vandrel-alarms.ini");
    alarms_read();
    EXPECT_EQ(panelStatus(), "No alarm settings file: no limits are set.");

    apply({{0, 1, 1, 1, 1e5, 2}, {1, 0, -5, 1, 250, 1}, {2, 1, 650.5, 0, 800, 4}}, 1, 7);
    const std::string kept = [&] {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    alarms_read();
    EXPECT_EQ(panelStatus(), "");
    EXPECT_EQ(alarm_settings.limits[2].low, 650.5);
    EXPECT_EQ(alarm_settings.limits[2].delay, 4);
    EXPECT_EQ(alarm_settings.silence_cycles, 7);
    EXPECT_FALSE(std::ifstream(settingsFile("vandrel-alarms.new")).good());

    const std::string damaged[] = {
        "",
        kept.substr(0, kept.size() / 2),
        "vandrel-alarms 1\nsomething else entirely\n",
        // Each line well formed, but low above high.
        "vandrel-alarms 1\noxygen 1 50 1 10 1\nvoltage 0 0 0 0 1\ntemperature 0 0 0 0 1\nno-answer 0 3\n",
        "vandrel-alarms 1\noxygen 1 nan 0 10 1\nvoltage 0 0 0 0 1\ntemperature 0 0 0 0 1\nno-answer 0 3\n",
    };
    for (const std::string &content : damaged) {
        SCOPED_TRACE(content);
        std::ofstream(file, std::ios::trunc) << content;
        alarms_read();
        EXPECT_EQ(panelStatus(), "The alarm settings file is damaged: no limits are set until new ones are applied.");
        for (const Limits &l : alarm_settings.limits)
            EXPECT_TRUE(l.low_on == 0 && l.high_on == 0);
        EXPECT_EQ(alarm_settings.silence_on, 0);
    }
}

// Limits come back from the file as the very doubles applied, however many
// digits they need: a limit of 4e-7 that came back as 0 would alarm on
// every reading, and 1e-7 and 5e-7 that came back equal would make the
// file count as damaged.
TEST_F(Alarm, LimitsReadBackFromTheFileAsTheDoublesApplied)
{
    const std::pair<double, double> lowHigh[] = {
        {0, 4e-7}, {1e-7, 5e-7}, {1.23456789e-4, 1.2345679e-4}, {-1e300, 1e300},
        {DBL_TRUE_MIN, DBL_MIN}, {-0.0, DBL_TRUE_MIN}, {0.1 + 0.2, 0.30000000000000010}, {-DBL_MAX, DBL_MAX},
        {1e15 + 0.5, 1e15 + 1}, {209100.1, 209100.10000000003},
    };
    for (const auto &[low, high] : lowHigh) {
        SCOPED_TRACE(std::to_string(low) + " " + std::to_string(high));
        AlarmSettings applied{};
        for (Limits &l : applied.limits)
            l = {1, low, 1, high, 1};
        applied.limits[2].low_on = 0;  // a limit that is off keeps its value too
        applied.silence_cycles = 3;
        ASSERT_EQ(alarm_settings_fault(applied), nullptr);
        alarm_settings = applied;
        ASSERT_EQ(alarm_settings_save(), 0);
        alarm_settings = AlarmSettings{};
        ASSERT_EQ(alarm_settings_load(), kAlarmFileRead);
        for (const Limits &l : alarm_settings.limits) {
            EXPECT_EQ(std::memcmp(&l.low, &low, sizeof low), 0) << l.low;
            EXPECT_EQ(std::memcmp(&l.high, &high, sizeof high), 0) << l.high;
        }
    }
    // A file written with six decimals reads as before.
    std::ofstream(settingsFile("vandrel-alarms.ini"), std::ios::trunc)
        << "vandrel-alarms 1\noxygen 0 0.000000 1 10.000000 1\nvoltage 0 0.000000 0 0.000000 1\n"
           "temperature 1 -5.500000 0 0.000000 2\nno-answer 1 3\n";
    ASSERT_EQ(alarm_settings_load(), kAlarmFileRead);
    EXPECT_EQ(alarm_settings.limits[0].high, 10.0);
    EXPECT_EQ(alarm_settings.limits[2].low, -5.5);
    EXPECT_EQ(alarm_settings.limits[2].delay, 2);
}

// The chart's marks of one kind: levels as (label, value), spans as
// (from, to).
std::vector<std::pair<std::string, double>> limitLines()
{
    std::vector<std::pair<std::string, double>> out;
    for (const t::GraphMark &m : t::graphMarks(state.main_panel, kMainGraph))
        if (m.kind == t::MarkKind::Level) {
            EXPECT_EQ(m.colour, kColourRed);
            out.emplace_back(m.text, m.y);
        }
    return out;
}
std::vector<std::pair<double, double>> shadedTimes()
{
    std::vector<std::pair<double, double>> out;
    for (const t::GraphMark &m : t::graphMarks(state.main_panel, kMainGraph))
        if (m.kind == t::MarkKind::Span)
            out.emplace_back(m.t0, m.t1);
    return out;
}
bool limitShown(double value)
{
    for (const t::GraphMark &m : t::graphMarks(state.main_panel, kMainGraph))
        if (m.kind == t::MarkKind::Level && m.y == value)
            return m.shown;
    ADD_FAILURE() << "no limit line at " << value;
    return false;
}

using Lines = std::vector<std::pair<std::string, double>>;

// Applied limits and a change of quantity show on the chart at once.
TEST_F(Alarm, TheActiveLimitsOfTheQuantityMeasuredAreLinesOnTheChart)
{
    EXPECT_EQ(limitLines(), Lines{});
    apply({{0, 1, 1000, 1, 1e6}});
    EXPECT_EQ(limitLines(), (Lines{{"HIGH 1000000 ppm", 1e6}, {"LOW 1000 ppm", 1000}}));
    apply({{0, 0, 1000, 1, 2.5e5}, {1, 1, 100, 0, 0}, {2, 1, 20.5, 1, 40}});
    EXPECT_EQ(limitLines(), (Lines{{"HIGH 250000 ppm", 2.5e5}})) << "the low limit off; voltage's wait";
    t::selectItem(state.main_panel, kMainQuantity, 1);
    EXPECT_EQ(limitLines(), (Lines{{"LOW 100 mV", 100}}));
    t::selectItem(state.main_panel, kMainQuantity, 2);
    EXPECT_EQ(limitLines(), (Lines{{"HIGH 40 \260C", 40}, {"LOW 20.5 \260C", 20.5}}));
    t::selectItem(state.main_panel, kMainQuantity, 0);
    // A run's start and its plotting leave them be.
    startRun();
    tick();
    EXPECT_EQ(limitLines(), (Lines{{"HIGH 250000 ppm", 2.5e5}}));
}

// Autoscaled, the range comes from the readings alone; a fixed range
// shows a limit inside it and not one beyond it.
TEST_F(Alarm, ALimitBeyondTheScalingIsNotDrawnAndDoesNotWidenIt)
{
    apply({{0, 1, 1, 1, 1e9}});  // readings about 2e5 ppm
    startRun();
    tick();
    tick();
    const t::GraphAxis y = t::graphAxis(state.main_panel, kMainGraph, kAxisY);
    ASSERT_TRUE(y.autoscale);
    double low = 1e300, high = -1e300;
    for (const auto &[time, value] : lastPlotPoints()) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_GE(y.min, low * 0.99);
    EXPECT_LE(y.max, high * 1.01);
    EXPECT_FALSE(limitShown(1));
    EXPECT_FALSE(limitShown(1e9));

    t::operate(state.main_panel, kMainAutoscale);  // off: 0.1 to 10 ppm
    ASSERT_FALSE(t::graphAxis(state.main_panel, kMainGraph, kAxisY).autoscale);
    apply({{0, 1, 5, 1, 50}});
    EXPECT_TRUE(limitShown(5));
    EXPECT_FALSE(limitShown(50));
    EXPECT_EQ(t::graphAxis(state.main_panel, kMainGraph, kAxisY).max, 10);
}

// From the reading that raised it to the one that ended it, while those
// readings are in the history; the chart's own redrawing as its time window
// moves leaves the shading alone, and a new run starts without any.
TEST_F(Alarm, TheTimeOfAnAlarmIsShadedWhileItIsInTheHistory)
{
    using Spans = std::vector<std::pair<double, double>>;
    // Readings that stay about 2e5 ppm however long the machine takes.
    startProgram({"--no-pacing", "--time-constant", "1e7"});
    apply({{0, 0, 0, 1, 1e5}});
    startRun();  // the reading at 0 s raises it
    EXPECT_EQ(shadedTimes(), (Spans{{0, 0}}));
    tick();
    tick();
    EXPECT_EQ(shadedTimes(), (Spans{{0, 2}}));
    apply({{0, 0, 0, 1, 1e6}});
    tick();
    tick();
    EXPECT_EQ(shadedTimes(), (Spans{{0, 3}}));
    apply({{0, 0, 0, 1, 1e5}});
    tick();
    apply({{0, 0, 0, 1, 1e6}});
    tick();
    EXPECT_EQ(shadedTimes(), (Spans{{0, 3}, {5, 6}}));
    // Readings up to 904 s: the history of 900 starts at 5 s.
    while (now < 904)
        tick();
    ASSERT_EQ(state.hist_time[0], 5);
    EXPECT_EQ(shadedTimes(), (Spans{{5, 6}}));
    tick();
    tick();
    EXPECT_EQ(shadedTimes(), Spans{});
    apply({{0, 0, 0, 1, 1e5}});
    tick();
    operate(kMainStop);
    EXPECT_EQ(shadedTimes().size(), 1u) << "kept after the run for a look";
    apply({{0, 0, 0, 1, 1e6}});
    startRun();
    EXPECT_EQ(shadedTimes(), Spans{});
    EXPECT_EQ(limitLines(), (Lines{{"HIGH 1000000 ppm", 1e6}}));
}

}  // namespace
}  // namespace program_test
