// Drawing stored files: ours, other tools', broken ones, and large ones
// thinned to at most 999 points.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "tests/program/program_fixture.h"
#include "tests/support/privileges.h"

namespace program_test {
namespace {

class Viewer : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram();
    }
    std::string write(const std::string &bytes)
    {
        const std::string path = dir.file("view.dat");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    // What the file display shows beside a file that has no seal.
    static constexpr const char *kUnsealed = "  [no seal: no run file view.info]";
    // Draws the file as the operator does and returns the points drawn.
    std::vector<std::pair<double, double>> view(const std::string &path)
    {
        rte::testing::queueFileSelect(kSelectionExisting, path);
        rte::testing::operate(state.main_panel, kMainOpenFile);
        return lastPlotPoints();
    }
};

TEST_F(Viewer, FilesAsOperatorsHaveThem)
{
    using Points = std::vector<std::pair<double, double>>;
    const struct {
        const char *what;
        std::string bytes;
        Points points;
    } rows[] = {
        {"recorded here", " 0.0\t2.091000e+05 \n 1.0\t2.000000e+05 \n",
         {{0.0, 2.091e5}, {1.0, 2.0e5}}},
        {"Windows line ends", " 0.0\t1.5e+00 \r\n 0.5\t2.5e+00 \r\n", {{0.0, 1.5}, {0.5, 2.5}}},
        {"blank separated, plain numbers, no last line end", "1 2\n3 4", {{1, 2}, {3, 4}}},
        {"signs and capitals", "+1.5\t+2.5E+01\n-1.5 -2e-1 \n", {{1.5, 25}, {-1.5, -0.2}}},
        {"numbers stop part-way", "0 1\n1 2\nabc def\n3 4\n", {{0, 1}, {1, 2}}},
        {"a line with one number", "0 1\n7\n2 3\n", {{0, 1}, {7, 2}}},
        {"NUL bytes", std::string("0 1\n1 2\n\0\0\0 3 4\n", 17), {{0, 1}, {1, 2}}},
        {"empty", "", {}},
        {"binary", "\x89PNG\r\n\x1a\n\x00\x00", {}},
        // A megabyte thins to every 51st pair, and this file holds one.
        {"a million characters on a line", "0 1\n" + std::string(1000000, '5') + " 2\n", {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = write(row.bytes);
        EXPECT_EQ(view(path), row.points);
        EXPECT_EQ(controlText(kMainFile), path + kUnsealed);
        EXPECT_EQ(controlInt(kMainAutoscale), 1);
        EXPECT_EQ(rte::testing::plotCount(state.main_panel, kMainGraph), 1);
    }
}

std::string lines(int from, int to, int width = 0)
{
    std::string text;
    for (int i = from; i <= to; i++) {
        std::string line = std::to_string(i) + " 1";
        if (static_cast<int>(line.size()) + 1 < width)
            line.append(width - 1 - line.size(), ' ');
        text += line + "\n";
    }
    return text;
}

TEST_F(Viewer, ThinningKeepsAtMost999PointsSpreadOverTheFile)
{
    auto points = view(write(lines(1, 998)));
    EXPECT_EQ(points.size(), 998u);
    points = view(write(lines(1, 999)));
    EXPECT_EQ(points.size(), 999u);
    points = view(write(lines(1, 1500)));
    ASSERT_EQ(points.size(), 999u);
    EXPECT_EQ(points.back().first, 999);

    // 25,000 bytes in 1,201 lines: every second line, the last one left out.
    std::string text = lines(1, 1200, 20);
    std::string last = "1201 2";
    last.append(1000 - 1 - last.size(), ' ');
    text += last + "\n";
    ASSERT_EQ(text.size(), 25000u);
    points = view(write(text));
    ASSERT_EQ(points.size(), 600u);
    EXPECT_EQ(points.front().first, 2);
    EXPECT_EQ(points.back().first, 1200);
}

TEST_F(Viewer, OnlyTheValuesReadLastForAPointDecideTheLogarithmicAxis)
{
    const std::string pad(20000, ' ');  // step 2
    const struct {
        const char *what;
        std::string bytes;
        int allowed;
    } rows[] = {
        {"all positive", "1 1\n2 2\n3 3\n4 4\n" + pad, 1},
        {"zero on a drawn line", "1 1\n2 0\n3 3\n4 4\n" + pad, 0},
        {"zero on a skipped line", "1 0\n2 2\n3 3\n4 4\n" + pad, 1},
        {"negative on the last line of an incomplete group", "1 1\n2 2\n3 -3\n" + pad, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        view(write(row.bytes));
        EXPECT_EQ(state.log_allowed, row.allowed);
    }
}

TEST_F(Viewer, NothingChangesUnlessAnExistingFileIsChosen)
{
    SetCtrlVal(state.main_panel, kMainFile, "before");
    for (int result : {int{kSelectionCancelled}, int{kSelectionNew}, -1}) {
        rte::testing::queueFileSelect(result, dir.file("x.dat"));
        rte::testing::operate(state.main_panel, kMainOpenFile);
        EXPECT_EQ(controlText(kMainFile), "before");
    }
}

// Chosen, but it cannot be opened: gone since, a folder, or not to be read
// by this user (as root the file is opened by the user nobody, in a child
// process that answers through its exit status).  Said with the path, and
// the graph, the file shown and the scaling stay as they were.
TEST_F(Viewer, AFileThatCannotBeOpenedIsSaidAndNothingChanges)
{
    view(write("0 1\n1 2\n"));
    const std::string drawn = dir.file("view.dat") + kUnsealed;
    settings.autoscale = 0;
    SetCtrlVal(state.main_panel, kMainAutoscale, 0);
    const std::string folder = dir.file("folder.dat"), locked = dir.file("locked.dat");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::ofstream(locked) << "0 1\n";
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const struct {
        std::string path;
        const char *why;
        bool asAnotherUser;
    } rows[] = {
        {dir.file("vanished.dat"), "it is not there", false},
        {folder, "it is a folder, not a file", false},
        {locked, "no permission to read it", true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.path);
        const auto check = [&] {
            rte::testing::clearPopups();
            rte::testing::queueFileSelect(kSelectionExisting, row.path);
            rte::testing::queueMessageAck();
            rte::testing::operate(state.main_panel, kMainOpenFile);
            const std::vector<std::string> said = rte::testing::popupLog();
            const std::string expected = "Open file|" + row.path + " cannot be opened: " + row.why + ".";
            return said.size() == 2 && said[1] == expected && controlText(kMainFile) == drawn &&
                   lastPlotPoints() == std::vector<std::pair<double, double>>{{0, 1}, {1, 2}} &&
                   controlInt(kMainAutoscale) == 0 && settings.autoscale == 0;
        };
        if (!row.asAnotherUser) {
            EXPECT_TRUE(check()) << (rte::testing::popupLog().empty() ? "" : rte::testing::popupLog().back());
            continue;
        }
        const int status = support::inChildProcess([&] {
            if (const std::string why = support::dropRoot(); !why.empty()) {
                std::fprintf(stderr, "cannot become an ordinary user: %s\n", why.c_str());
                return 2;
            }
            const bool ok = check();
            if (!ok && !rte::testing::popupLog().empty())
                std::fprintf(stderr, "said: %s\n", rte::testing::popupLog().back().c_str());
            return ok ? 0 : 1;
        });
        EXPECT_EQ(status, 0);
    }
}

// A stored recording with the events of its run beside it: each alarm,
// acknowledgement and return a marker on the curve, with a tooltip.
struct Marker {
    double t, y;
    std::string tooltip;
    int colour;
    bool operator==(const Marker &) const = default;
};
std::ostream &operator<<(std::ostream &out, const Marker &m)
{
    return out << "(" << m.t << ", " << m.y << ", " << m.tooltip << ", " << m.colour << ")";
}
std::vector<Marker> markers()
{
    std::vector<Marker> out;
    for (const rte::testing::GraphMark &m : rte::testing::graphMarks(state.main_panel, kMainGraph))
        if (m.kind == rte::testing::MarkKind::Marker)
            out.push_back({m.t0, m.y, m.text, m.colour});
    return out;
}
std::vector<std::string> notes()
{
    std::vector<std::string> out;
    for (const rte::testing::GraphMark &m : rte::testing::graphMarks(state.main_panel, kMainGraph))
        if (m.kind == rte::testing::MarkKind::Note)
            out.push_back(m.text);
    return out;
}

const char kTime[] = "2026-12-10T17:38:26.132+01:00\t";

TEST_F(Viewer, ARecordingIsDrawnWithTheEventsBesideIt)
{
    // A name in Greek, and files from Windows.
    const std::string recording = dir.file("\xce\xb4\xce\xbf\xce\xba\xce\xb9\xce\xbc\xce\xae.dat");
    const std::string events = dir.file("\xce\xb4\xce\xbf\xce\xba\xce\xb9\xce\xbc\xce\xae.events");
    std::ofstream(recording, std::ios::binary) << " 0.0\t2.0e+05 \r\n 10.0\t4.0e+05 \r\n 20.0\t1.0e+05 \r\n";
    std::ofstream(events, std::ios::binary)
        << kTime << "5.0\talarm_high\t3.000000e+05\t2.500000e+05\r\n"
        << kTime << "7.5\tacknowledged\t3.600000e+05\t2.500000e+05\r\n"
        << kTime << "15.0\tnormal\t2.400000e+05\t2.500000e+05\r\n"
        << kTime << "17.5\tno_answer\tnan\t3.000000e+00\r\n"
        << kTime << "25.0\tstopped\tnan\t3.000000e+00\r\n";
    const std::vector<std::pair<double, double>> curve = view(recording);
    EXPECT_EQ(curve, (std::vector<std::pair<double, double>>{{0, 2e5}, {10, 4e5}, {20, 1e5}}));
    // On the curve between its points; the value the event names is in
    // the tooltip.
    EXPECT_EQ(markers(), (std::vector<Marker>{
                             {5, 3e5, "HIGH alarm at 5.0 s: 300000 (limit 250000)", kColourRed},
                             {7.5, 3.5e5, "Acknowledged at 7.5 s: 360000", kColourOrange},
                             {15, 2.5e5, "Back to normal at 15.0 s: 240000", kColourGreen},
                             {17.5, 1.75e5, "NO ANSWER alarm at 17.5 s: no reading (3 cycles)", kColourRed},
                             // Past the curve's end: at its last point.
                             {25, 1e5, "Run stopped in alarm at 25.0 s: no reading", kColourGrey},
                         }));
    EXPECT_EQ(notes(), std::vector<std::string>{});
    // The tooltip as the operator's pointer meets it.
    const auto [x, y] = rte::testing::graphPixel(state.main_panel, kMainGraph, 7.5, 3.5e5);
    EXPECT_EQ(rte::testing::graphTooltip(state.main_panel, kMainGraph, x, y), "Acknowledged at 7.5 s: 360000");

    // The next file drawn takes the markers with the curve.
    const std::string alone = write(" 0.0\t1.0 \n 1.0\t2.0 \n");
    EXPECT_EQ(view(alone), (std::vector<std::pair<double, double>>{{0, 1}, {1, 2}}));
    EXPECT_EQ(markers(), std::vector<Marker>{});
    EXPECT_EQ(notes(), std::vector<std::string>{});
}

// A damaged event file draws what it can and says how much it could not.
TEST_F(Viewer, ADamagedEventFileDrawsTheLinesItCanRead)
{
    const std::string recording = write(" 0.0\t1.0 \n 10.0\t2.0 \n");
    const struct {
        const char *what;
        std::string bytes;
        std::vector<double> times;
        std::vector<std::string> notes;
    } rows[] = {
        {"cut in its last line", std::string(kTime) + "1.0\talarm_low\t1.1\t1.5\n" + kTime + "2.0\tnor",
         {1}, {"1 line of the event file could not be read."}},
        {"garbage among the lines",
         std::string(kTime) + "1.0\talarm_low\t1.1\t1.5\n\x89PNG\r\n\n" + kTime + "3.0\tnormal\t1.3\t1.5\n" +
             std::string(300, 'x') + "\n",
         {1, 3}, {"2 lines of the event file could not be read."}},
        {"a later program's event", std::string(kTime) + "1.0\tpurged\t0\t60\n", {}, {}},
        {"a NUL byte that would hide the junk after five good fields",
         std::string(kTime) + "1.0\talarm_low\t1.1\t1.5" + std::string(1, '\0') + " junk\n" + kTime +
             "3.0\tnormal\t1.3\t1.5\n",
         {3}, {"1 line of the event file could not be read."}},
        {"empty", "", {}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::ofstream(dir.file("view.events"), std::ios::binary | std::ios::trunc) << row.bytes;
        EXPECT_EQ(view(recording).size(), 2u);
        std::vector<double> times;
        for (const Marker &m : markers())
            times.push_back(m.t);
        EXPECT_EQ(times, row.times);
        EXPECT_EQ(notes(), row.notes);
    }
}

// Event files far beyond any run's: the first lines are read one by one,
// as far as markers or the limit go, and the rest only counted.
TEST_F(Viewer, AnEventFileIsReadOnlyAsFarAsItsMarkersAndTheLimitGo)
{
    const std::string recording = write(" 0.0\t1.0 \n 10.0\t2.0 \n");
    std::string events;
    for (int i = 0; i < 1200; ++i)
        events += std::string(kTime) + std::to_string(i / 100) + ".0\talarm_high\t3.0\t2.5\n";
    std::string junk;
    for (int i = 0; i < 20000; ++i)
        junk += "a\n";
    const struct {
        const char *what;
        std::string bytes;
        std::size_t markers;
        std::vector<std::string> notes;
    } rows[] = {
        {"more events than markers", events, 999,
         {"Only the first 999 events are drawn; the 201 lines after them are not read."}},
        {"a line for each letter", junk, 0,
         {"9999 lines of the event file could not be read.\n"
          "Only the first 9999 lines of the event file are read; 10001 more are not."}},
        {"a line of ten million letters, then an event", std::string(10000000, 'x') + "\n" + kTime + "1.0\tnormal\t1.3\t1.5\n",
         1, {"1 line of the event file could not be read."}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::ofstream(dir.file("view.events"), std::ios::binary | std::ios::trunc) << row.bytes;
        EXPECT_EQ(view(recording).size(), 2u);
        EXPECT_EQ(markers().size(), row.markers);
        EXPECT_EQ(notes(), row.notes);
    }
}

}  // namespace
}  // namespace program_test
