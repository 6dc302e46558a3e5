// bench_summary: the summary and the CSV export of a big recording beside
// the viewer's drawing of it ("Open file"), all three on the same
// page-cached file, best of N runs by the wall clock and by processor time;
// then the report of a week's run at one reading a second, as "Report..."
// writes it (summary, graph and PDF).
//
//   bench_summary [--dir DIR] [--runs N] [--keep] [SIZE]
//
// SIZE is bytes with an optional K, M or G suffix (default 1G); the file is
// written as the recording format writes it (bench/recording_file.h).
// The goals: the summary within 1.5 times and the export within 3 times
// the viewer's time, the report of a week in under 2 s.
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
#include "summary/csv_export.h"
#include "summary/report.h"
#include "summary/run_summary.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

using bench::Clock;
using bench::cpuNow;
using bench::seconds;

struct Time {
    double wall = 1e300, cpu = 1e300;
};

Time best(int runs, const std::function<void()> &work)
{
    Time t;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        const double c0 = cpuNow();
        work();
        t.wall = std::min(t.wall, seconds(t0));
        t.cpu = std::min(t.cpu, cpuNow() - c0);
    }
    return t;
}

long long fileSize(const std::string &path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<long long>(size);
}

// A week at one reading a second, as the recording writes it.
void writeWeek(const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "w");
    for (int i = 0; i < 7 * 86400; ++i)
        std::fprintf(f, " %.1f\t%e \n", i + 0.01 * (i % 7), 5 + 4 * ((i / 3600) % 5) + 0.001 * (i % 97));
    std::fclose(f);
}

}  // namespace

int main(int argc, char **argv)
{
    std::string dir = "/tmp";
    int runs = 3;
    bool keep = false;
    long long size = 1ll << 30;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep")
            keep = true;
        else if (a == "-h" || a == "--help") {
            std::printf("usage: %s [--dir DIR] [--runs N] [--keep] [SIZE[K|M|G]]\n", argv[0]);
            return 0;
        } else
            size = bench::parseSize(a.c_str());
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int one = 1;
    start_engine(one, argv);
    laden();
    DisplayPanel(state.main_panel);

    const std::string path = dir + "/bench_summary_" + std::to_string(size) + ".dat";
    const std::string csv = dir + "/bench_summary.csv";
    if (fileSize(path) < size)
        bench::writeRecording(path, size);
    const double mb = static_cast<double>(fileSize(path)) / (1024.0 * 1024.0);
    RunFacts facts;
    facts_of_recording(path.c_str(), facts);
    facts.high = {1, 1e3, 0, 0, 0, -1};
    Summary summary;
    // The first pass brings the file into the page cache for all three.
    summarise(facts, summary);

    std::printf("bench_summary: %.0f MB, %.0f readings, best of %d runs, page-cached, in %s\n\n", mb,
                static_cast<double>(summary.figures.readings), runs, dir.c_str());
    const Time viewer = best(runs, [&] {
        rte::testing::queueFileSelect(kSelectionExisting, path);
        oeffnen(state.main_panel, kMainOpenFile, kEventCommit, nullptr, 0, 0);
    });
    const Time summed = best(runs, [&] { summarise(facts, summary); });
    long long rows = 0;
    const Time exported = best(runs, [&] { rows = export_csv(facts, csv.c_str()).rows; });
    const double csvMb = static_cast<double>(fileSize(csv)) / (1024.0 * 1024.0);
    std::printf("%-22s %9s %9s   %s\n", "", "wall s", "cpu s", "x viewer (wall, cpu)");
    std::printf("%-22s %9.3f %9.3f\n", "viewer draws it", viewer.wall, viewer.cpu);
    std::printf("%-22s %9.3f %9.3f   %5.2f %5.2f   (goal 1.5)\n", "summary", summed.wall, summed.cpu,
                summed.wall / viewer.wall, summed.cpu / viewer.cpu);
    std::printf("%-22s %9.3f %9.3f   %5.2f %5.2f   (goal 3; %.0f rows, %.0f MB of CSV)\n", "CSV export", exported.wall,
                exported.cpu, exported.wall / viewer.wall, exported.cpu / viewer.cpu, static_cast<double>(rows),
                csvMb);
    std::remove(csv.c_str());
    if (!keep)
        std::remove(path.c_str());

    const std::string week = dir + "/bench_summary_week.dat", pdf = dir + "/bench_summary_week.pdf";
    writeWeek(week);
    const int panel = LoadPanel(0, kPanelFile, kSummaryPanel);
    RunFacts weekFacts;
    facts_of_recording(week.c_str(), weekFacts);
    int written = -1;
    const Time report = best(runs, [&] {
        summarise(weekFacts, summary);
        draw_for_report(summary, panel, kSummaryGraph);
        written = write_report(summary, pdf.c_str(), kPageA4, panel, kSummaryGraph);
    });
    std::printf("\nreport of a week at 1 s (%.0f readings, %.1f MB): %.3f s wall, %.3f s cpu (goal 2 s), "
                "%.0f kB of PDF%s\n",
                static_cast<double>(summary.figures.readings), static_cast<double>(fileSize(week)) / (1024.0 * 1024.0),
                report.wall, report.cpu, static_cast<double>(fileSize(pdf)) / 1024.0,
                written == 0 ? "" : " NOT WRITTEN");
    std::remove(week.c_str());
    std::remove(pdf.c_str());
    ExitProgram(written == 0 ? 0 : 1);
    return RunUserInterface();
}
