// bench_scanfile: how fast the log viewer's read, ScanFile(h, "%f %f", t, v),
// goes through a big recording file, next to a bare std::from_chars loop over
// the same bytes (read with the same buffer size) and `wc -l` for the read
// bandwidth.  All three read the same file from the page cache.
//
//   bench_scanfile [--dir DIR] [--runs N] [--keep] [--viewer] [SIZE ...]
//
// --viewer also draws each file as the operator does ("Open file" on the
// main panel, offscreen) and reports that time beside the others.
//
// SIZE is bytes with an optional K, M or G suffix (powers of 1024).  Without
// sizes: 100M and 200M.  With one size: that size and its double.  The files
// are generated as the recording format writes them, " %f[p1]\t%f[e2] \n",
// times increasing by about a second from 10^6 s, values varying over ten
// decades.
// Each measurement is the best of N runs (default 3), by the wall clock and
// by processor time.
#include "app/callbacks.h"
#include "app/shell.h"
#include "app/state.h"
#include "bench/recording_file.h"
#include "bench/timing.h"
#include "files/viewer.h"
#include "rte/formatio.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>

#include <fcntl.h>
#include <unistd.h>

// Windows: descriptors are not inherited by programs started later, and
// without O_BINARY the C run time would translate line ends.
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

using bench::Clock;
using bench::cpuNow;
using bench::parseSize;
using bench::seconds;
constexpr std::size_t kBuffer = 256 * 1024;  // as the engine's read buffer

// -1 where there is no file.  Not stat(): its size has 32 bits on Windows.
long long fileSize(const std::string &path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<long long>(size);
}

// Reads the whole file once: brings it into the page cache.
void warm(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_BINARY);
    std::unique_ptr<char[]> buf(new char[1 << 20]);
    while (::read(fd, buf.get(), 1 << 20) > 0) {
    }
    ::close(fd);
}

struct Result {
    double secs = 1e300;  // wall clock
    double cpu = 1e300;   // processor time
    long long values = 0;
    double sum = 0;
};

Result runScanFile(const std::string &path)
{
    Result r;
    const auto t0 = Clock::now();
    const double c0 = cpuNow();
    const int h = OpenFile(path.c_str(), kOpenRead, kOpenKeep, kOpenText);
    double t = 0, v = 0;
    while (ScanFile(h, "%f %f", t, v) == 2) {
        r.sum += t;
        r.sum += v;
        r.values += 2;
    }
    CloseFile(h);
    r.secs = seconds(t0);
    r.cpu = cpuNow() - c0;
    return r;
}

inline bool space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The least a reader must do: read with the same buffer size, skip white
// space, std::from_chars each number, carry a cut token to the next buffer.
Result runBare(const std::string &path)
{
    Result r;
    const auto t0 = Clock::now();
    const double c0 = cpuNow();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_BINARY);
    std::unique_ptr<char[]> buf(new char[kBuffer]);
    std::size_t keep = 0;
    bool eof = false;
    while (!eof) {
        const ssize_t n = ::read(fd, buf.get() + keep, kBuffer - keep);
        if (n <= 0)
            eof = true;
        const char *p = buf.get();
        const char *end = buf.get() + keep + (n > 0 ? n : 0);
        // Numbers up to the last white space are complete.
        const char *lim = end;
        if (!eof)
            while (lim > p && !space(lim[-1]))
                --lim;
        while (true) {
            while (p < lim && space(*p))
                ++p;
            if (p >= lim)
                break;
            double v;
            auto res = std::from_chars(p, lim, v);
            if (res.ec != std::errc()) {
                ++p;
                continue;
            }
            r.sum += v;
            ++r.values;
            p = res.ptr;
        }
        keep = static_cast<std::size_t>(end - p);
        std::memmove(buf.get(), p, keep);
    }
    ::close(fd);
    r.secs = seconds(t0);
    r.cpu = cpuNow() - c0;
    return r;
}

// The line count and the time of `wc -l`; -1 lines (not checked) and no
// time where there is no wc (Windows).
double runWc(const std::string &path, long long &lines)
{
    lines = -1;
#ifdef _WIN32
    (void)path;
    return std::nan("");
#endif
    const auto t0 = Clock::now();
    const std::string cmd = "wc -l < '" + path + "'";
    FILE *p = ::popen(cmd.c_str(), "r");
    if (p) {
        if (std::fscanf(p, "%lld", &lines) != 1)
            lines = -1;
        ::pclose(p);
    }
    return seconds(t0);
}

// The whole of drawing a stored file, thinning and graph included.
Result runViewer(const std::string &path)
{
    Result r;
    const auto t0 = Clock::now();
    const double c0 = cpuNow();
    rte::testing::queueFileSelect(1, path);
    oeffnen(state.main_panel, 11, 1, nullptr, 0, 0);
    r.secs = seconds(t0);
    r.cpu = cpuNow() - c0;
    return r;
}

void startProgram(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    start_engine(argc, argv);
    laden();
    DisplayPanel(state.main_panel);
}

struct Row {
    long long bytes;
    double scanSecs, bareSecs, scanCpu, bareCpu, wcSecs;
};

}  // namespace

int main(int argc, char **argv)
{
    std::string dir = "/tmp";
    int runs = 3;
    bool keep = false, viewer = false;
    std::vector<long long> sizes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep")
            keep = true;
        else if (a == "--viewer")
            viewer = true;
        else if (a == "-h" || a == "--help") {
            std::printf("usage: %s [--dir DIR] [--runs N] [--keep] [--viewer] [SIZE[K|M|G] ...]\n",
                        argv[0]);
            return 0;
        } else
            sizes.push_back(parseSize(a.c_str()));
    }
    if (viewer) {
        int one = 1;
        startProgram(one, argv);
    }
    if (sizes.empty())
        sizes = {100ll << 20, 200ll << 20};
    else if (sizes.size() == 1)
        sizes.push_back(2 * sizes[0]);

    std::printf("bench_scanfile: ScanFile(h, \"%%f %%f\", t, v) on recording lines, "
                "best of %d runs, page-cached files in %s\n\n",
                runs, dir.c_str());
    std::printf("MB/s by the wall clock, and by processor time in brackets (steadier when\n"
                "other work shares the machine); the ratio ScanFile / bare is by both.\n\n");
    std::printf("%8s %10s | %17s %17s %8s | %14s\n", "file MB", "lines", "ScanFile MB/s",
                "bare MB/s", "wc -l", "ScanFile/bare");
    std::vector<Row> rows;
    int status = 0;
    for (long long size : sizes) {
        const std::string path = dir + "/bench_scanfile_" + std::to_string(size) + ".dat";
        if (fileSize(path) < size)
            bench::writeRecording(path, size);
        const long long bytes = fileSize(path);
        warm(path);
        Result best, bare;
        double wcSecs = 1e300;
        long long lines = 0;
        for (int r = 0; r < runs; ++r) {
            const Result s = runScanFile(path);
            const Result b = runBare(path);
            wcSecs = std::min(wcSecs, runWc(path, lines));
            best.values = s.values;
            best.sum = s.sum;
            bare.values = b.values;
            bare.sum = b.sum;
            best.secs = std::min(best.secs, s.secs);
            best.cpu = std::min(best.cpu, s.cpu);
            bare.secs = std::min(bare.secs, b.secs);
            bare.cpu = std::min(bare.cpu, b.cpu);
        }
        if (best.values != bare.values || best.sum != bare.sum || (lines >= 0 && best.values != 2 * lines)) {
            std::printf("MISMATCH: ScanFile read %lld values (sum %.17g), bare %lld (sum "
                        "%.17g), wc %lld lines\n",
                        best.values, best.sum, bare.values, bare.sum, lines);
            status = 1;
        }
        const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
        std::printf("%8.0f %10lld | %7.1f (%7.1f) %7.1f (%7.1f) %8.0f | %5.1f%% (%5.1f%%)\n",
                    mb, lines, mb / best.secs, mb / best.cpu, mb / bare.secs, mb / bare.cpu,
                    mb / wcSecs, 100.0 * bare.secs / best.secs, 100.0 * bare.cpu / best.cpu);
        std::fflush(stdout);
        if (viewer) {
            Result draw;
            for (int r = 0; r < runs; ++r) {
                const Result d = runViewer(path);
                draw.secs = std::min(draw.secs, d.secs);
                draw.cpu = std::min(draw.cpu, d.cpu);
            }
            std::printf("%8s drawn by the viewer in %.3f s (processor %.3f s): %.1f MB/s, "
                        "%5.1f%% of the bare loop's rate, %d points\n",
                        "", draw.secs, draw.cpu, mb / draw.secs, 100.0 * bare.secs / draw.secs,
                        static_cast<int>(rte::testing::plotPoints(
                                             state.main_panel, 5,
                                             rte::testing::lastPlot(state.main_panel, 5))
                                             .size()));
        }
        rows.push_back({bytes, best.secs, bare.secs, best.cpu, bare.cpu, wcSecs});
        if (!keep)
            ::unlink(path.c_str());
    }
    std::printf("\n");
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const double sizeRatio = static_cast<double>(rows[i].bytes) / rows[i - 1].bytes;
        std::printf("size x%.2f: ScanFile time x%.3f (processor x%.3f), bare time x%.3f "
                    "(processor x%.3f), wc time x%.3f\n",
                    sizeRatio, rows[i].scanSecs / rows[i - 1].scanSecs,
                    rows[i].scanCpu / rows[i - 1].scanCpu, rows[i].bareSecs / rows[i - 1].bareSecs,
                    rows[i].bareCpu / rows[i - 1].bareCpu, rows[i].wcSecs / rows[i - 1].wcSecs);
    }
    return status;
}
