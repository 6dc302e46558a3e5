// A run going on when the program is killed outright (a power cut, a crash,
// a restart of the computer) starts again with the program, when the
// operator has asked for it: into a new file beside the old one, which
// stays as the killed run left it, with the gap in its event file, which
// the program reads back as it wrote it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "tools/child_process.h"
#include "tools/serial_locks.h"
#include "tools/simulated_analyser.h"
#include "tools/sleep_until.h"
#include "tools/temp_dir.h"

namespace reliability {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string readBytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

long lineEnds(const std::string &path)
{
    const std::string bytes = readBytes(path);
    return static_cast<long>(std::count(bytes.begin(), bytes.end(), '\n'));
}

std::vector<std::string> fields(const std::string &line)
{
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        out.push_back(field);
    return out;
}

double unixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The program named by a desktop entry's Exec key of one quoted argument,
// read as a session reads it: the string value's escapes, the doubled
// percent sign, then the quoting.
std::string execProgram(const std::string &entry)
{
    std::istringstream lines(entry);
    std::string value;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Exec=", 0) == 0)
            value = line.substr(5);
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\')
            ++i;
        else if (value[i] == '%' && i + 1 < value.size() && value[i + 1] == '%')
            ++i;
        unescaped += value[i];
    }
    if (unescaped.size() < 2 || unescaped.front() != '"' || unescaped.back() != '"')
        return "not one quoted argument: " + value;
    std::string program;
    for (std::size_t i = 1; i + 1 < unescaped.size(); ++i) {
        if (unescaped[i] == '\\')
            ++i;
        program += unescaped[i];
    }
    return program;
}

class Restart : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A folder whose name a desktop entry must quote and escape.
        folder = dir.file("bench 'A' \"B\" $HOME %f `x` \\ 100%");
        fs::create_directories(folder);
        program = folder + "/vandrel";
        fs::copy_file(RESTARTED_PROGRAM_PATH, program);
        fs::copy_file(PANEL_FILE_PATH, folder + "/Vandrel_V3.uir");
        setenv("RTE_COM1", analyser.linkPath().c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    }

    void TearDown() override
    {
        unsetenv("RTE_COM1");
        unsetenv("XDG_CONFIG_HOME");
    }

    // Starts the program with `args` and waits until `file` holds `lines`
    // lines; what it printed after its start.
    std::string startUntil(std::vector<std::string> args, const std::string &file, long lines,
                           bool kill)
    {
        const std::string out = folder + "/program-" + std::to_string(++starts) + ".out";
        args.insert(args.begin(), program);
        support::ChildProcess child(args, out);
        EXPECT_TRUE(support::sleepUntil([&] { return lineEnds(file) >= lines; }, 60s))
            << file << " holds " << lineEnds(file) << " lines";
        EXPECT_TRUE(support::sleepUntil([&] { return lineEnds(out) >= 1; }, 60s));
        if (kill) {
            child.signal(SIGKILL);
            EXPECT_TRUE(support::sleepUntil([&] { return !child.running(); }, 10s));
            EXPECT_EQ(support::serialLock(analyser.linkPath()), "") << "the killed program's lock is left";
        }
        return readBytes(out);
    }

    support::SimulatedAnalyser analyser;
    support::TempDir dir;
    std::string folder, program;
    int starts = 0;
};

TEST_F(Restart, AKilledRunGoesOnInTheNextFreeFileAndSaysTheGap)
{
    const std::string first = folder + "/run.dat";
    double started = unixNow();
    // Long enough for the run to renew its sign of life (every 10 s) once.
    EXPECT_EQ(startUntil({"start", first}, first, 16, true), "running 1 recording 1\n");
    double killed = unixNow();
    // Each killed run's file, as it was left.
    std::vector<std::pair<std::string, std::string>> left = {{first, readBytes(first)}};

    const std::string entry = readBytes(dir.file("config/autostart/vandrel.desktop"));
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos) << entry;
    EXPECT_EQ(execProgram(entry), program) << entry;

    for (const int n : {2, 3}) {
        SCOPED_TRACE("start " + std::to_string(n));
        const std::string stem = folder + "/run-" + std::to_string(n);
        const double restarted = unixNow();
        EXPECT_EQ(startUntil({}, stem + ".dat", 2, true), "running 1 recording 1\n");
        for (const auto &[file, bytes] : left)
            EXPECT_EQ(readBytes(file), bytes) << file << " is not as the killed run left it";
        left.emplace_back(stem + ".dat", readBytes(stem + ".dat"));

        std::ifstream events(stem + ".events");
        std::string line;
        ASSERT_TRUE(std::getline(events, line)) << "no event file beside " << stem << ".dat";
        const std::vector<std::string> f = fields(line);
        ASSERT_EQ(f.size(), 5u) << line;
        EXPECT_EQ(f[1], "0.0");
        EXPECT_EQ(f[2], "resumed");
        EXPECT_EQ(f[4], "nan");
        // From the killed run's last sign of life, which lies between its
        // start and its kill and is renewed every 10 s (the interval is 1 s),
        // to the new start.
        const double gap = std::stod(f[3]);
        EXPECT_GE(gap, restarted - killed - 0.01) << line;
        EXPECT_LE(gap, std::min(unixNow() - started, unixNow() - killed + 10 + 1) + 0.01) << line;
        started = restarted;
        killed = unixNow();

        // The stored run drawn with its events: the program reads its own
        // "resumed" line as it wrote it.
        rte::testing::queueFileSelect(kSelectionExisting, stem + ".dat");
        rte::testing::operate(state.main_panel, kMainOpenFile);
        std::vector<std::string> notes;
        for (const rte::testing::GraphMark &m : rte::testing::graphMarks(state.main_panel, kMainGraph))
            if (m.kind == rte::testing::MarkKind::Note)
                notes.push_back(m.text);
        EXPECT_EQ(notes, std::vector<std::string>{});
    }

    // Stopped, the run is over: the next start begins none.
    EXPECT_EQ(startUntil({"stop"}, folder + "/run-4.dat", 1, false), "running 0 recording 0\n");
    EXPECT_EQ(startUntil({}, folder + "/run-4.dat", 1, false), "running 0 recording 0\n");
    EXPECT_FALSE(fs::exists(folder + "/run-5.dat"));
}

// Stop, or the switch turned off, on a disk too full for the mark's new
// file: the run is over all the same, and the operator learns when the
// switch is not saved.
TEST_F(Restart, OnAFullDiskStopEndsTheRunForGoodAndSaysWhenTheSwitchIsNotSaved)
{
    fs::create_directories(dir.file("recordings"));
    const struct {
        const char *mode;
        const char *kept;          // the switch as the program holds it
        std::string popupOpening;  // empty: no popup
    } rows[] = {
        {"full-disk-stop", "switch 1",
         "Unattended|The run has ended. The switch \"Resume the run after a restart\" could not be saved"},
        // A missing file means the switch off: nothing to say.
        {"full-disk-off", "switch 0", ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.mode);
        const std::string out = dir.file(std::string(row.mode) + ".out");
        {
            support::ChildProcess child({program, row.mode, dir.file("recordings/run.dat")}, out);
            ASSERT_TRUE(support::sleepUntil([&] { return !child.running(); }, 60s)) << readBytes(out);
        }
        const std::string said = readBytes(out);
        ASSERT_FALSE(said.starts_with("unavailable"))
            << "no tmpfs could be mounted: without root the test needs user namespaces; " << said;
        std::istringstream lines(said);
        std::vector<std::string> popups;
        std::string line, mark, next, run, kept, status = "none";
        while (std::getline(lines, line)) {
            if (line.starts_with("popup "))
                popups.push_back(line.substr(6));
            else if (line.starts_with("mark "))
                mark = line.substr(5);
            else if (line.starts_with("next start "))
                next = line.substr(11);
            else if (line.starts_with("running "))
                run = line;
            else if (line.starts_with("switch "))
                kept = line;
            else if (line.starts_with("status "))
                status = line.substr(7);
        }
        EXPECT_EQ(run, "running 0 recording 0") << said;
        EXPECT_EQ(mark.find("running=1"), std::string::npos) << "the mark of a running run stays: " << mark;
        EXPECT_EQ(next, "running 0") << "the next start resumed the run";
        EXPECT_EQ(kept, row.kept) << "the switch as the operator left it, until the program ends";
        EXPECT_EQ(status, "") << "the Unattended panel";
        if (row.popupOpening.empty()) {
            EXPECT_EQ(popups, std::vector<std::string>{});
            continue;
        }
        ASSERT_EQ(popups.size(), 1u) << said;
        EXPECT_TRUE(popups[0].starts_with(row.popupOpening)) << popups[0];
        EXPECT_NE(popups[0].find(folder + "/vandrel-resume.ini"), std::string::npos) << popups[0];
    }
}

}  // namespace
}  // namespace reliability
