// Start-up of the whole program against a bare Qt Widgets window of the
// same size: each started as a process of its own, in turn, and timed from
// the start of the process to the first time its window's pixels are handed
// to the display.  Qt says so itself on its painting log (Flushing top
// level), which both processes write, so that neither carries a hook of
// ours; the process is killed there, as its start-up is over.  Also timed:
// the first word of that log, which comes when the window is first shown,
// and the processor time the process had used when it painted (all its
// threads), which a busy machine disturbs less than the wall clock.
//
// The program starts as an operator's does: its settings folder empty (the
// default settings), the analyser (the simulator) on port 1; with
// --publishing its publishing is on, towards a broker that is not there.
//
//   bench_startup [--publishing] [runs]     (default 20 of each)
//
// The display is the one Qt finds: xvfb-run bench_startup for an X server,
// QT_QPA_PLATFORM=offscreen (the default without a display) for none.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"

namespace {

double seconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

struct Start {
    double shownMs = 0, paintedMs = 0, cpuMs = 0;
    std::string paintedLine;
};

// Runs the command until its first top-level flush; false if it ends or
// takes 20 s before that.
bool timeStart(const std::vector<std::string> &command, Start &start)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    const double t0 = seconds();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    bool painted = false;
    for (char buffer[8192]; !painted;) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 20000) <= 0)
            break;
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        const double now = seconds();
        const std::size_t from = text.size();
        text.append(buffer, static_cast<std::size_t>(n));
        if (start.shownMs == 0 && text.find("qt.widgets.painting:", from > 20 ? from - 20 : 0) != std::string::npos)
            start.shownMs = 1e3 * (now - t0);
        const std::size_t flush = text.find("Flushing top level", from > 20 ? from - 20 : 0);
        if (flush != std::string::npos) {
            start.paintedMs = 1e3 * (now - t0);
            start.cpuMs = bench::processorMs(pid);
            start.paintedLine = text.substr(flush, text.find('\n', flush) - flush);
            painted = true;
        }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(out[0]);
    if (!painted)
        std::fprintf(stderr, "%s did not paint; it wrote:\n%s\n", argv[0], text.c_str());
    return painted;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void report(const char *what, const std::vector<double> &ms)
{
    std::printf("%-40s median %7.1f ms   min %7.1f ms   max %7.1f ms\n", what, median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char **argv)
{
    bool publishing = false;
    int runs = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--publishing") == 0)
            publishing = true;
        else if ((runs = std::atoi(argv[i])) < 1) {
            std::fprintf(stderr, "usage: bench_startup [--publishing] [runs >= 1]\n");
            return 2;
        }
    }
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_LOGGING_RULES", "qt.widgets.painting=true", 1);

    const std::string dir = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    const support::TempDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().c_str(), 1);
    if (publishing) {
        // Port 9 (discard) on this machine: nothing listens, the client
        // keeps trying, as with a broker that is down.
        std::ofstream(settings.file("vandrel-publish.ini")) << "enabled=1\nhost=127.0.0.1\nport=9\n";
    }
    const support::SimulatedAnalyser analyser;
    setenv("RTE_COM1", analyser.linkPath().c_str(), 1);

    // The first start gives the size of the main panel, for the bare window.
    const std::vector<std::string> program{dir + "/vandrel"};
    Start first;
    if (!timeStart(program, first))
        return 1;
    int width = 0, height = 0;
    if (std::sscanf(first.paintedLine.c_str(), "Flushing top level QRegion(0,0 %dx%d)", &width, &height) != 2) {
        std::fprintf(stderr, "no size in: %s\n", first.paintedLine.c_str());
        return 1;
    }
    const std::vector<std::string> bare{dir + "/bench_bare_window", std::to_string(width), std::to_string(height)};
    Start warm;
    if (!timeStart(bare, warm))
        return 1;

    std::vector<double> programShown, programPainted, programCpu, bareShown, barePainted, bareCpu, ratios;
    for (int i = 0; i < runs; ++i) {
        Start a, b;
        if (!timeStart(program, a) || !timeStart(bare, b))
            return 1;
        programShown.push_back(a.shownMs);
        programPainted.push_back(a.paintedMs);
        programCpu.push_back(a.cpuMs);
        bareShown.push_back(b.shownMs);
        barePainted.push_back(b.paintedMs);
        bareCpu.push_back(b.cpuMs);
        ratios.push_back(a.paintedMs / b.paintedMs);
    }
    std::printf("start-up to the first paint of a %dx%d window, %d runs each, in turn (%s%s)\n", width, height,
                runs, std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "xcb",
                publishing ? ", publishing on" : "");
    report("program, shown", programShown);
    report("program, painted", programPainted);
    report("program, processor time to paint", programCpu);
    report("bare window, shown", bareShown);
    report("bare window, painted", barePainted);
    report("bare window, processor time to paint", bareCpu);
    std::printf("ratio of the medians %.2fx   median of the pairs' ratios %.2fx\n",
                median(programPainted) / median(barePainted), median(ratios));
    std::printf("processor time: ratio of the medians %.2fx\n", median(programCpu) / median(bareCpu));
    return 0;
}
