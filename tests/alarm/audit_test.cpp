// The run's audit trail as the operator leaves it: each change on the real
// panels during a recorded run is one line of the run's event file, read
// back by the program's own reader and drawn by "Open file"; the wall clock
// set during a run is a line too, a change of daylight saving time is not.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "alarm/alarm_panel.h"
#include "alarm/event_file.h"
#include "alarm/event_read.h"
#include "app/panel_ids.h"
#include "app/settings_file.h"
#include "app/state.h"
#include "link/exchange.h"
#include "publish/publish.h"
#include "publish/publish_panel.h"
#include "publish/publish_settings.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

namespace t = rte::testing;
namespace fs = std::filesystem;

// The wall clock as the test sets it: the sender of the outbox reads it on
// its own thread.
std::atomic<double> wall{0};
double wallClock() { return wall.load(); }

// 2026-03-29T00:59:50Z: ten seconds before Central Europe's clocks go from
// 02:00 to 03:00 local time.
constexpr double kBeforeSummerTime = 1774745990.0;

std::string settingsFile(const char *name)
{
    char path[kPathSize];
    settings_file_path(name, path);
    return path;
}

void removeSettings()
{
    std::remove(settingsFile("vandrel-alarms.ini").c_str());
    const fs::path folder = fs::path(settingsFile("vandrel-alarms.ini")).parent_path();
    for (const auto &entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("vandrel-outbox.") || name.starts_with("vandrel-publish."))
            fs::remove_all(entry.path());
    }
}

std::string account()
{
    char user[kChangeTextSize];
    EXPECT_EQ(GetUserAccount(user), 0);
    return user;
}

class Audit : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        removeSettings();
        // Once for the whole test program, whichever fixture comes first.
        if (alarm_panel <= 0)
            alarms_start();
        alarms_read();
        publish_settings_load();
        wall = kBeforeSummerTime;
        t::setWallClock(wallClock);
        startProgram({"--no-pacing"});
        // The simulator answering before the run starts: a first cycle left
        // without an answer on a loaded machine would forbid the log scale
        // for the whole run.
        ASSERT_TRUE(t::waitUntil([] { return abfragen(), exchange_result() == kExchangeReading; }, 60));
        startRun(run);
    }
    void TearDown() override
    {
        if (state.running)
            t::operate(state.main_panel, kMainStop);
        publish_stop();
        EXPECT_TRUE(t::publishingEnded(30)) << "the sender did not end";
        ProgramTest::TearDown();
        t::setWallClock(nullptr);
        second.reset();
        removeSettings();
        alarms_read();
        publish_settings_load();
    }

    // Both clocks on by the same seconds, as they go while nobody sets one.
    void at(double seconds)
    {
        wall = wall + (seconds - now);
        now = seconds;
    }

    // The lines of the run's event file, each read as the viewer reads it.
    std::vector<EventLine> lines()
    {
        std::vector<EventLine> out;
        for (const std::string &text : readLines(events)) {
            EventLine e;
            EXPECT_EQ(read_event_line(text.c_str(), static_cast<int>(text.size()), e), kEventLineRead) << text;
            out.push_back(e);
        }
        return out;
    }

    const std::string run = dir.file("run.dat");
    const std::string events = dir.file("run.events");
    std::unique_ptr<support::SimulatedAnalyser> second;
};

void expectChange(const EventLine &e, const char *what, const char *was, const char *now, double elapsed)
{
    EXPECT_STREQ(e.event, "changed");
    EXPECT_STREQ(e.what, what);
    EXPECT_STREQ(e.was, was);
    EXPECT_STREQ(e.now, now);
    EXPECT_EQ(e.user, account());
    EXPECT_DOUBLE_EQ(e.elapsed, elapsed);
}

TEST_F(Audit, EachChangeOnThePanelsDuringARunIsOneLineWithWhoAndTheOldAndNewValue)
{
    const auto alarms = [](const std::function<void()> &typed) {
        return [typed] {
            t::activateMenuItem(state.menu_bar, kMainAlarmsItem);
            typed();
            t::operate(alarm_panel, kAlarmsApply);
        };
    };
    const auto publishingPanel = [](const std::function<void()> &typed) {
        return [typed] {
            t::activateMenuItem(state.menu_bar, kMainPublishingItem);
            typed();
            t::operate(publish_panel(), kPublishingApply);
        };
    };
    const auto main = [](int control, const char *text) {
        return [control, text] { t::typeInto(state.main_panel, control, text); };
    };
    const auto click = [](int control) { return [control] { t::operate(state.main_panel, control); }; };
    const struct Row {
        const char *action;
        std::function<void()> act;
        // nullptr: no line
        const char *what, *was, *now;
    } rows[] = {
        {"the interval typed", main(kMainInterval, "2.5"), "interval", "1", "2.5"},
        {"the same interval again", main(kMainInterval, "2.5"), nullptr, nullptr, nullptr},
        {"the y maximum", main(kMainYMax, "250"), "y_max", "10", "250"},
        {"the y minimum", main(kMainYMin, "0.001"), "y_min", "0", "0.001"},
        {"autoscale off", click(kMainAutoscale), "autoscale", "on", "off"},
        {"log scale on", click(kMainLogScale), "log_scale", "off", "on"},
        // Below any reading: no alarm comes between the changes.
        {"a low oxygen limit", alarms([] { t::typeInto(alarm_panel, kAlarmsOxygenLow, "1e-7"); }), "oxygen.low",
         "0", "1e-07"},
        {"its switch", alarms([] { t::operate(alarm_panel, kAlarmsOxygenLowOn); }), "oxygen.low_on", "off", "on"},
        {"Apply with nothing changed", alarms([] {}), nullptr, nullptr, nullptr},
        {"the temperature's delay", alarms([] { t::typeInto(alarm_panel, kAlarmsTemperatureDelay, "4"); }),
         "temperature.delay", "1", "4"},
        {"the no-answer alarm", alarms([] { t::operate(alarm_panel, kAlarmsSilenceOn); }), "no_answer.on", "off",
         "on"},
        {"its cycles", alarms([] { t::typeInto(alarm_panel, kAlarmsSilenceCycles, "7"); }), "no_answer.cycles", "3",
         "7"},
        {"another port", [this] {
             second = std::make_unique<support::SimulatedAnalyser>(std::vector<std::string>{"--no-pacing"});
             setenv(("RTE_COM" + std::to_string(kSimPort + 1)).c_str(), second->linkPath().c_str(), 1);
             t::activateMenuItem(state.menu_bar, kMainSerialPortItem);
             t::typeInto(state.com_panel, kPortNumber, std::to_string(kSimPort + 1).c_str());
             t::operate(state.com_panel, kPortOk);
         },
         "port", "7", "8"},
        {"publishing on", publishingPanel([] {
             t::operate(publish_panel(), kPublishingEnabled);
             t::typeInto(publish_panel(), kPublishingHost, "127.0.0.1");
             t::typeInto(publish_panel(), kPublishingPort, "1");
         }),
         "publishing", "off", "on"},
        {"publishing's host alone", publishingPanel([] { t::typeInto(publish_panel(), kPublishingHost, "::1"); }),
         nullptr, nullptr, nullptr},
        {"publishing off", publishingPanel([] { t::operate(publish_panel(), kPublishingEnabled); }), "publishing",
         "on", "off"},
    };
    std::size_t count = lines().size();
    double seconds = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.action);
        at(seconds += 10);
        row.act();
        tickAt(seconds);
        ASSERT_EQ(state.running, 1);
        const std::vector<EventLine> read = lines();
        ASSERT_EQ(read.size(), count + (row.what != nullptr ? 1 : 0)) << "log scale allowed: " << state.log_allowed;
        if (row.what != nullptr)
            expectChange(read.back(), row.what, row.was, row.now, seconds);
        count = read.size();
    }
    ASSERT_EQ(state.port_open, 1) << "the run went on on the other port";

    // Between runs nothing is written, neither into the run's file nor into
    // the file of the day that a run without a recording would take.
    t::operate(state.main_panel, kMainStop);
    char day[kPathSize];
    ASSERT_EQ(event_path(day), 0);
    const std::size_t daily = readLines(day).size();
    t::typeInto(state.main_panel, kMainInterval, "5");
    alarms([] { t::typeInto(alarm_panel, kAlarmsOxygenHigh, "50"); })();
    EXPECT_EQ(settings.interval, 5);
    EXPECT_EQ(lines().size(), count);
    EXPECT_EQ(readLines(day).size(), daily);

    // "Open file" draws each change as a marker that says it.
    t::queueFileSelect(kSelectionExisting, run);
    t::operate(state.main_panel, kMainOpenFile);
    std::vector<std::string> changes;
    for (const t::GraphMark &m : t::graphMarks(state.main_panel, kMainGraph)) {
        EXPECT_NE(m.kind, t::MarkKind::Note) << m.text;
        if (m.kind == t::MarkKind::Marker && m.colour == kColourNavy)
            changes.push_back(m.text);
    }
    ASSERT_EQ(changes.size(), 13u);
    EXPECT_EQ(changes[0], "Changed interval from 1 to 2.5 by " + account() + " at 10.0 s");
    EXPECT_EQ(changes[12], "Changed publishing from on to off by " + account() + " at 160.0 s");
}

// Whatever a text holds, the line stays one line of nine fields and each
// text reads back as it was.
TEST_F(Audit, TextsWithTabsLineEndsAndBackslashesReadBackWhole)
{
    ASSERT_EQ(write_change("CORP\\al\tice", "port", "/dev/tty\nUSB0", "a\rb\\", 1.5), 0);
    const std::vector<EventLine> read = lines();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_STREQ(read[0].user, "CORP\\al\tice");
    EXPECT_STREQ(read[0].what, "port");
    EXPECT_STREQ(read[0].was, "/dev/tty\nUSB0");
    EXPECT_STREQ(read[0].now, "a\rb\\");
}

// Central Europe's zone, as POSIX writes it: 02:00 local is 03:00 from
// 01:00 UTC on the last Sunday of March.  Restored at the end.
struct SummerTimeZone {
    SummerTimeZone()
    {
        if (const char *zone = std::getenv("TZ"))
            kept = zone;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    ~SummerTimeZone()
    {
        if (kept.empty())
            unsetenv("TZ");
        else
            setenv("TZ", kept.c_str(), 1);
        tzset();
    }
    std::string kept;
};

// The wall clock against the run's own clock, cycle by cycle.
TEST_F(Audit, TheWallClockSetDuringARunIsALineButNotSummerTime)
{
    SummerTimeZone zone;
    // The change's line before and after the cycle that crosses the change
    // to summer time: the lines' local time moves by an hour, no line says
    // the clock was set.
    at(5);
    t::typeInto(state.main_panel, kMainInterval, "3");
    at(15);
    tickAt(15);
    at(16);
    t::typeInto(state.main_panel, kMainInterval, "4");
    const std::vector<std::string> text = readLines(events);
    ASSERT_EQ(text.size(), 2u);
    EXPECT_EQ(text[0].substr(0, 29), "2026-03-29T01:59:55.000+01:00");
    EXPECT_EQ(text[1].substr(0, 29), "2026-03-29T03:00:06.000+02:00");

    const struct {
        const char *what;
        double wallMoves;  // seconds the wall clock is set on, beyond the cycle's
        double jump;       // in the line; 0 for none
    } rows[] = {
        {"set an hour ahead", 3600, 3600},
        {"a second and a half's correction", -1.5, 0},
        {"set back by a few seconds", -2.5, -2.5},
        {"set back a day", -86400, -86400},
        {"a cycle after it", 0, 0},
    };
    double seconds = 16;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::size_t before = lines().size();
        at(seconds += 15);
        wall = wall + row.wallMoves;
        tickAt(seconds);
        const std::vector<EventLine> read = lines();
        if (row.jump == 0) {
            EXPECT_EQ(read.size(), before);
            continue;
        }
        ASSERT_EQ(read.size(), before + 1);
        EXPECT_STREQ(read.back().event, "clock_jump");
        EXPECT_NEAR(read.back().value, row.jump, 0.002);
        EXPECT_EQ(read.back().limit, 2);
        EXPECT_DOUBLE_EQ(read.back().elapsed, seconds);
    }

    t::operate(state.main_panel, kMainStop);
    t::queueFileSelect(kSelectionExisting, run);
    t::operate(state.main_panel, kMainOpenFile);
    std::vector<std::string> jumps;
    for (const t::GraphMark &m : t::graphMarks(state.main_panel, kMainGraph))
        if (m.kind == t::MarkKind::Marker && m.text.starts_with("Clock"))
            jumps.push_back(m.text);
    EXPECT_EQ(jumps, (std::vector<std::string>{"Clock set 3600 s ahead at 31.0 s", "Clock set 2.5 s back at 61.0 s",
                                               "Clock set 86400 s back at 76.0 s"}));
}

}  // namespace
}  // namespace program_test
