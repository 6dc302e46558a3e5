// The program's own share of a measurement cycle: processor time of the
// user-interface thread per cycle (the serial wait and the closing pause
// block without using the processor), over a run at a 0.1 s interval with
// the graph drawing offscreen, against the simulated analyser.
//
//   QT_QPA_PLATFORM=offscreen bench_cycle [cycles]     (default 2000)
//
// On Windows the simulator stays on the Linux side: port 1 (COM1) must
// reach one started with --no-pacing --turnaround 0.002, which
// scripts/windows/bench.sh does under wine.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/shell.h"
#include "app/state.h"
#include "link/serial_port.h"
#include "rte/testing.h"
#include "rte/userint.h"
#include "run/cycle.h"
#ifndef _WIN32
#include "tests/support/simulated_analyser.h"
#endif

#include <QByteArray>

namespace {

double now = 0;
double clockNow() { return now; }

double seconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

void report(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s median %7.3f ms   worst %7.3f ms   (%zu cycles)\n", what, ms[ms.size() / 2],
                ms.back(), ms.size());
}

}  // namespace

int main(int argc, char **argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifndef _WIN32
    support::SimulatedAnalyser sim({"--no-pacing", "--turnaround", "0.002"});
    qputenv("RTE_COM1", QByteArray::fromStdString(sim.linkPath()));
#endif

    int one = 1;
    start_engine(one, argv);
    laden();
    DisplayPanel(state.main_panel);
    settings = Settings{1, 0.1, 1, 1, 0, 0.0, 10.0};
    ComOpen();
    rte::testing::setClock(clockNow);
    rte::testing::queueFileSelect(0, "");
    rte::testing::operate(state.main_panel, 10);

    std::vector<double> cpu, wall;
    for (int k = 1; k < cycles; k++) {
        now = 0.1 * k;
        const double c0 = seconds(CLOCK_THREAD_CPUTIME_ID), w0 = seconds(CLOCK_MONOTONIC);
        timer2(state.main_panel, 18, 15, nullptr, 0, 0);
        cpu.push_back(1e3 * (seconds(CLOCK_THREAD_CPUTIME_ID) - c0));
        wall.push_back(1e3 * (seconds(CLOCK_MONOTONIC) - w0));
    }
    std::printf("cycles %d at 0.1 s, graph %d plots drawn as %d curves\n", cycles,
                rte::testing::plotCount(state.main_panel, 5),
                rte::testing::drawnCurveCount(state.main_panel, 5));
    report("own time, first 10 cycles", {cpu.begin(), cpu.begin() + 10});
    report("own time, last 10 cycles", {cpu.end() - 10, cpu.end()});
    report("own time, all cycles", cpu);
    report("whole cycle (wall), all", wall);
    std::printf("resident memory at the end  %ld KiB\n", residentKiB());
    return 0;
}
