// bench_events: how long a hostile event file holds the window when the
// operator draws the recording beside it ("Open file" on the main panel,
// offscreen), next to how long a recording of the event file's size holds
// it.  Three event files:
//   letters   20 million lines of one letter each (40 MB)
//   events    3 million lines as the program writes them
//   one line  one line of 500 MB
// Each beside a recording of two lines; the recording of the same size is
// generated as bench_scanfile's are.  All files are read from the page
// cache.
//
//   bench_events [--dir DIR] [--runs N] [--keep]
//
// Each time is the best of N runs (default 3), by the wall clock and by
// processor time; the ratio is the event file's time over the recording's
// (below 1: the event file holds the window for less time).
#include "app/callbacks.h"
#include "app/panel_ids.h"
#include "app/shell.h"
#include "app/state.h"
#include "bench/recording_file.h"
#include "bench/timing.h"
#include "files/viewer.h"
#include "rte/formatio.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>

#include <fcntl.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::cpuNow;
using bench::seconds;

long long fileSize(const std::string &path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<long long>(size);
}

// Writes the text that `line` gives for 0, 1, 2, ... until `lines` lines,
// in large pieces.
void writeLines(const std::string &path, long long lines, const std::function<void(long long, std::string &)> &line)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string chunk;
    for (long long i = 0; i < lines; ++i) {
        line(i, chunk);
        if (chunk.size() >= (4u << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk;
    if (!out) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

void oneLetterLines(const std::string &path)
{
    writeLines(path, 20000000, [](long long, std::string &chunk) { chunk += "a\n"; });
}

// As write_event writes them: an alarm, its acknowledgement and its end,
// over and over.
void eventLines(const std::string &path)
{
    static const char *const kEvents[] = {"alarm_high", "acknowledged", "normal"};
    writeLines(path, 3000000, [](long long i, std::string &chunk) {
        char line[128];
        Fmt(line, "2026-12-10T17:38:26.132+01:00\t%f[p1]\t%s\t%f[e2]\t%f[e2]\n", static_cast<double>(i),
            kEvents[i % 3], 1000.0 + static_cast<double>(i % 977), 1000.0);
        chunk += line;
    });
}

void oneLongLine(const std::string &path)
{
    const std::string piece(1 << 20, 'x');
    writeLines(path, 500, [&piece](long long i, std::string &chunk) {
        chunk += piece;
        if (i == 499)
            chunk += '\n';
    });
}

// Reads the whole file once: brings it into the page cache.
void warm(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::unique_ptr<char[]> buf(new char[1 << 20]);
    while (::read(fd, buf.get(), 1 << 20) > 0) {
    }
    ::close(fd);
}

struct Time {
    double secs = 1e300;  // wall clock
    double cpu = 1e300;   // processor time
};

// The whole of drawing a stored file as the operator does, its events
// included, the best of `runs`.
Time draw(const std::string &path, int runs)
{
    Time best;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        const double c0 = cpuNow();
        rte::testing::queueFileSelect(kSelectionExisting, path);
        oeffnen(state.main_panel, kMainOpenFile, kEventCommit, nullptr, 0, 0);
        best.secs = std::min(best.secs, seconds(t0));
        best.cpu = std::min(best.cpu, cpuNow() - c0);
    }
    return best;
}

std::string noteShown()
{
    std::string note;
    for (const rte::testing::GraphMark &m : rte::testing::graphMarks(state.main_panel, kMainGraph))
        if (m.kind == rte::testing::MarkKind::Note)
            note += m.text;
    for (char &c : note)
        if (c == '\n')
            c = ' ';
    return note.empty() ? "(none)" : note;
}

struct Case {
    const char *name;
    void (*write)(const std::string &path);
};

}  // namespace

int main(int argc, char **argv)
{
    std::string dir = "/tmp";
    int runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--keep") {
            keep = true;
        } else {
            std::printf("usage: %s [--dir DIR] [--runs N] [--keep]\n", argv[0]);
            return a == "-h" || a == "--help" ? 0 : 2;
        }
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int one = 1;
    start_engine(one, argv);
    laden();
    DisplayPanel(state.main_panel);

    std::printf("bench_events: drawing a recording of two lines beside a hostile event file, and a\n"
                "recording of the event file's size alone; best of %d runs, page-cached files in %s\n\n",
                runs, dir.c_str());
    std::printf("seconds by the wall clock, and by processor time in brackets (steadier when\n"
                "other work shares the machine); the ratio events / recording is by both.\n\n");
    std::printf("%-9s %8s | %17s | %17s | %15s\n", "events", "file MB", "recording s", "events s", "events/recording");
    const Case cases[] = {{"letters", oneLetterLines}, {"events", eventLines}, {"one line", oneLongLine}};
    std::vector<std::string> notes;
    for (const Case &c : cases) {
        const std::string stem = dir + "/bench_events_" + std::to_string(&c - cases);
        const std::string beside = stem + ".dat", events = stem + ".events", recording = stem + "_alone.dat";
        std::ofstream(beside, std::ios::binary | std::ios::trunc) << " 0.0\t1.0 \n 10.0\t2.0 \n";
        c.write(events);
        const long long bytes = fileSize(events);
        bench::writeRecording(recording, bytes);
        warm(events);
        warm(recording);
        const Time alone = draw(recording, runs);
        const Time hostile = draw(beside, runs);
        notes.push_back(std::string(c.name) + ": " + noteShown());
        const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
        std::printf("%-9s %8.0f | %7.3f (%7.3f) | %7.3f (%7.3f) | %6.2f (%6.2f)\n", c.name, mb, alone.secs, alone.cpu,
                    hostile.secs, hostile.cpu, hostile.secs / alone.secs, hostile.cpu / alone.cpu);
        std::fflush(stdout);
        if (!keep)
            for (const std::string &path : {beside, events, recording})
                ::unlink(path.c_str());
    }
    std::printf("\nThe note on the graph:\n");
    for (const std::string &note : notes)
        std::printf("  %s\n", note.c_str());
    std::fflush(stdout);
    // The engine's own end releases the toolkit.
    ExitProgram(0);
    return RunUserInterface();
}
