// Recording onto a disk that fills up, or past the file-size limit of the
// process: the operator is told at once on the file display, the run goes on
// showing and drawing readings, the process lives on, and the file holds
// only the complete lines of the cycles before the first failed write.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "testing/recording.h"
#include "tools/child_process.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"
#include "tools/sleep_until.h"

namespace reliability {
namespace {

using namespace std::chrono_literals;

std::string contents(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// One line of the recorder's report: what the operator saw after a cycle.
struct Seen {
    int cycle = 0;
    std::string fileDisplay, reading;
    double newestDrawn = -1;
};

std::vector<Seen> seenAfterEachCycle(const std::string &report)
{
    std::vector<Seen> seen;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line) && line.find('\t') != std::string::npos;) {
        std::istringstream fields(line);
        Seen s;
        std::string cycle, drawn;
        std::getline(fields, cycle, '\t');
        std::getline(fields, s.fileDisplay, '\t');
        std::getline(fields, s.reading, '\t');
        std::getline(fields, drawn);
        s.cycle = std::stoi(cycle);
        s.newestDrawn = std::stod(drawn);
        seen.push_back(s);
    }
    return seen;
}

struct Starvation {
    const char *name;
    int cycles;
    std::vector<std::string> how;  // the recorder's last options
};

void PrintTo(const Starvation &starvation, std::ostream *out) { *out << starvation.name; }

class FullDisk : public ::testing::TestWithParam<Starvation> {};

TEST_P(FullDisk, IsShownAtOnceWhileTheRunGoesOnAndNoLineIsTorn)
{
    support::SimulatedAnalyser analyser({"--no-pacing"});
    support::TempDir dir;
    const std::string disk = dir.file("disk");
    std::filesystem::create_directory(disk);
    const std::string path = disk + "/run.dat";
    std::vector<std::string> argv{RECORDER_PATH, analyser.linkPath(), path,
                                  std::to_string(GetParam().cycles)};
    argv.insert(argv.end(), GetParam().how.begin(), GetParam().how.end());
    const std::string output = dir.file("recorder.out");
    support::ChildProcess recorder(argv, output);

    ASSERT_TRUE(support::sleepUntil(
        [&] {
            const std::string out = contents(output);
            return !recorder.running() || out.find("\ndone\n") != std::string::npos ||
                   out.starts_with("unavailable");
        },
        60s))
        << "the recorder did not finish its cycles";
    const std::string report = contents(output);
    ASSERT_FALSE(report.starts_with("unavailable"))
        << "no tmpfs could be mounted: without root the test needs user namespaces; "
        << report.substr(0, report.find('\n'));
    ASSERT_NE(report.find("\ndone\n"), std::string::npos)
        << "the recorder died during the run; it reported:\n" << report;

    // The recorder's mounts are its own: its file is seen through its root.
    const std::string pid = report.substr(report.rfind("pid ") + 4);
    const Recording recording = readRecording("/proc/" + pid.substr(0, pid.find('\n')) + "/root" + path);
    EXPECT_EQ(recording.fault, "");
    const int recorded = static_cast<int>(recording.lines.size());
    for (int k = 0; k < recorded; ++k)
        ASSERT_EQ(recording.lines[k].time, k) << "line " << k + 1 << " is not that cycle's";
    ASSERT_LT(recorded, GetParam().cycles - 10) << "the limit left room for the whole run";

    const std::vector<Seen> seen = seenAfterEachCycle(report);
    ASSERT_EQ(seen.size(), GetParam().cycles - 1u) << report;
    int readingsUnrecorded = 0;
    for (const Seen &s : seen) {
        SCOPED_TRACE("cycle " + std::to_string(s.cycle));
        if (s.cycle < recorded)
            EXPECT_EQ(s.fileDisplay, path);
        else
            EXPECT_TRUE(s.fileDisplay.starts_with("NOT RECORDED"))
                << s.fileDisplay << ", with " << recorded << " lines in the file";
        // A reply lost now and then to a busy machine (the exchange flushes
        // its input after the query) shows "NO CONNECTION" for that cycle.
        EXPECT_NE(s.reading, "");
        if (s.cycle >= recorded && s.reading.find("ppm") != std::string::npos)
            ++readingsUnrecorded;
        // Drawing begins with the third cycle; each draws the readings
        // taken before its own.
        if (s.cycle >= 2) {
            EXPECT_EQ(s.newestDrawn, s.cycle - 1) << "the graph goes on";
        }
    }
    EXPECT_GT(readingsUnrecorded, 0) << "no reading shown after recording failed";
}

INSTANTIATE_TEST_SUITE_P(
    Recording, FullDisk,
    ::testing::Values(Starvation{"FileSizeLimit", 80, {"file-limit", "1000"}},
                      // About 200 lines fill the page.
                      Starvation{"OnePageTmpfs", 240, {"tmpfs"}}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reliability
