// The run file written at a run's start: its fields in a zone with an odd
// offset, the file of a run without a recording, and a resumed run's.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "alarm/alarm_settings.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "files/log_file.h"
#include "record/run_file.h"
#include "record/verify.h"
#include "rte/testing/testing.h"
#include "rte/utility.h"
#include "run/run_control.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

namespace fs = std::filesystem;

void setZone(const char *tz)
{
    if (tz)
        ::setenv("TZ", tz, 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

// Minutes since 1970 of "2026-12-10T16:25:03.120..." as it stands, whatever
// zone it is in; -1 when it does not read.
long long minutes(const std::string &text)
{
    std::tm t{};
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min) != 5)
        return -1;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<long long>(::timegm(&t)) / 60;
}

class RunFile : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram();
    }
    void TearDown() override
    {
        setZone(nullptr);
        rte::testing::setWallClock(nullptr);
        alarm_settings = AlarmSettings{};
        ProgramTest::TearDown();
    }
    static RunInfo read(const std::string &path)
    {
        RunInfo info;
        EXPECT_EQ(read_run_file(path.c_str(), info), kRunFileRead) << path;
        return info;
    }
};

TEST_F(RunFile, HoldsTheRunsFieldsBeforeTheFirstMinuteInAZoneWithAnOddOffset)
{
    setZone("Asia/Kathmandu");
    alarm_settings.limits[0] = Limits{1, 2.5, 0, 900.0, 3};
    settings.interval = 2.0;
    const std::string path = dir.file("run.dat");
    startRun(path);

    const RunInfo info = read(dir.file("run.info"));
    EXPECT_EQ(info.format, 1);
    const std::regex utc(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    EXPECT_TRUE(std::regex_match(info.start_utc, utc)) << info.start_utc;
    EXPECT_EQ(info.utc_offset, "+05:45");
    EXPECT_EQ(info.start_local.substr(23), "+05:45");
    EXPECT_EQ(minutes(info.start_local) - minutes(info.start_utc), 5 * 60 + 45);
    EXPECT_EQ(info.start_local.substr(17, 6), info.start_utc.substr(17, 6)) << "one moment";
    EXPECT_EQ(info.zone, "Asia/Kathmandu");
    EXPECT_EQ(info.quantity, "oxygen");
    EXPECT_EQ(info.unit, "ppm");
    EXPECT_EQ(info.interval, 2.0);
    EXPECT_EQ(info.port, kSimPort);
    EXPECT_EQ(info.device, sim->linkPath());
    char computer[256], user[300];
    ASSERT_EQ(GetHostName(computer), 0);
    ASSERT_EQ(GetUserAccount(user), 0);
    EXPECT_EQ(info.computer, computer);
    EXPECT_EQ(info.user, user);
    EXPECT_EQ(info.version, "3.0");
    EXPECT_TRUE(info.low_on);
    EXPECT_EQ(info.low, 2.5);
    EXPECT_FALSE(info.high_on);
    EXPECT_EQ(info.delay, 3);
    EXPECT_EQ(info.recording, path);
    EXPECT_EQ(info.resumed_from, "");
    EXPECT_EQ(info.seal_entries, 0);

    rte::testing::operate(state.main_panel, kMainStop);
    const RunInfo ended = read(dir.file("run.info"));
    EXPECT_EQ(ended.start_utc, info.start_utc);
    EXPECT_EQ(ended.seal_entries, 1);
    EXPECT_TRUE(ended.ended);
    EXPECT_EQ(ended.last_seal.lines, 1);
}

TEST_F(RunFile, ARunWithoutARecordingGetsOneInTheSettingsFolder)
{
    char folder[kPathSize];
    ASSERT_EQ(GetSettingsDir(folder), 0);
    const auto runFiles = [&folder] {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("vandrel-run-"))
                names.insert(entry.path().string());
        return names;
    };
    const auto before = runFiles();
    startRun("");
    rte::testing::operate(state.main_panel, kMainStop);
    // Other test programs run beside this one in the same folder: this
    // run's file is the new one that names this test's analyser.
    std::vector<std::string> made;
    RunInfo info;
    for (const std::string &name : runFiles())
        if (!before.count(name) && read_run_file(name.c_str(), info) == kRunFileRead && info.device == sim->linkPath())
            made.push_back(name);
    ASSERT_EQ(made.size(), 1u);
    const std::string path = made.front();
    EXPECT_TRUE(std::regex_search(path, std::regex(R"(vandrel-run-\d{4}-\d\d-\d\dT\d{6}\.info$)"))) << path;
    info = read(path);
    EXPECT_EQ(info.recording, "");
    EXPECT_EQ(info.quantity, "oxygen");
    EXPECT_EQ(info.seal_entries, 0);
    fs::remove(path);
}

// 2026-10-25, 00:59 UTC: a minute before Berlin's clocks go back from
// 03:00 summer time to 02:00.
double wallClock()
{
    return 1792889940.0 + now;
}

// A run over the change: the run file keeps the offset of its start, the
// seal's entries their UTC times a minute apart, the recording its elapsed
// seconds, and the recording verifies; a run after it has the new offset.
TEST_F(RunFile, ARunOverAChangeOfDaylightSavingTime)
{
    setZone("Europe/Berlin");
    rte::testing::setWallClock(wallClock);
    settings.interval = 1.0;
    const std::string path = dir.file("run.dat");
    startRun(path);
    for (int k = 1; k < 200; ++k)
        tickAt(k);
    rte::testing::operate(state.main_panel, kMainStop);
    RunInfo info = read(dir.file("run.info"));
    EXPECT_EQ(info.start_utc, "2026-10-25T00:59:00.000Z");
    EXPECT_EQ(info.start_local, "2026-10-25T02:59:00.000+02:00");
    EXPECT_EQ(info.utc_offset, "+02:00");
    EXPECT_EQ(info.zone, "Europe/Berlin");
    std::vector<std::string> times;
    for (const std::string &line : readLines(dir.file("run.info")))
        if (line.starts_with("seal="))
            times.push_back(line.substr(line.find(' ') + 1, 24));
    EXPECT_EQ(times, (std::vector<std::string>{"2026-10-25T01:00:00.000Z", "2026-10-25T01:01:00.000Z",
                                               "2026-10-25T01:02:00.000Z", "2026-10-25T01:02:19.000Z"}));
    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_EQ(lines[61].substr(0, 6), " 61.0\t");
    EXPECT_EQ(verify_recording(path.c_str()).status, kVerifyIntact);

    now = 3600.0;
    const std::string after = dir.file("after.dat");
    startRun(after);
    rte::testing::operate(state.main_panel, kMainStop);
    info = read(dir.file("after.info"));
    EXPECT_EQ(info.start_local, "2026-10-25T02:59:00.000+01:00");
    EXPECT_EQ(info.utc_offset, "+01:00");
}

// A resumed run records to a new file beside the old one; its run file
// names the run it continues and the gap.
TEST_F(RunFile, AResumedRunNamesTheRecordingItContinues)
{
    const std::string first = dir.file("run.dat");
    const std::string next = dir.file("run-2.dat");
    std::snprintf(state.log_path, sizeof state.log_path, "%s", next.c_str());
    ASSERT_GT(aufzeichnung_oeffnen(), 0);
    faerben(1);
    begin_run(first.c_str(), 42.0);
    end_run();
    const RunInfo info = read(dir.file("run-2.info"));
    EXPECT_EQ(info.recording, next);
    EXPECT_EQ(info.resumed_from, first);
    EXPECT_EQ(info.resume_gap, 42.0);
    EXPECT_TRUE(info.ended);
}

}  // namespace
}  // namespace program_test
