// A measurement cycle, in two runs against the simulated analyser with the
// graph drawing offscreen.
//
// First the program's own share: processor time of the user-interface thread
// per cycle over a run at a 0.1 s interval, on a test clock that skips the
// cycle's closing pause, without recording and with a reply as fast as the
// pseudo-terminal gives it.  Its wall time is the cycle without the pause.
//
// Then a cycle as a run has it: recording to a file, the real pause, the
// analyser paced like a 9600-baud line.  Its wall time is the pause plus
// the program's own time plus the wire.
//
// Then a recorded run on the test clock, a second a cycle: the cycles that
// write an entry of the recording's seal beside those that do not.
//
// Last the program's own share again with every reading published: off,
// on to a local broker (a real mosquitto on a loopback port), and on with
// that broker down, so that every message waits in the outbox.
//
//   QT_QPA_PLATFORM=offscreen bench_cycle [cycles] [recorded cycles] [published cycles]
//   (default 2000, 200, 1000)
//
// On Windows the simulators stay on the Linux side: port 1 (COM1) must reach
// one started with --no-pacing --turnaround 0.002, port 2 (COM2) one started
// with --turnaround 0.01, which scripts/windows/bench.sh does under wine;
// the publishing runs are Linux's only (they start their own broker).
#include <time.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/shell.h"
#include "app/panel_ids.h"
#include "app/settings_file.h"
#include "app/state.h"
#include "link/serial_port.h"
#include "publish/publish.h"
#include "publish/publish_settings.h"
#include "rte/rs232.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "run/cycle.h"
#ifndef _WIN32
#include "tools/mqtt_broker.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"
#endif

#include <QByteArray>

namespace {

double testTime = 0;
double clockNow() { return testTime; }

double clockSeconds(clockid_t clock)
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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.3f ms   worst %7.3f ms   (%zu cycles)\n", what, ms[ms.size() / 2],
                ms.back(), ms.size());
}

long linesIn(const std::string &path)
{
    std::ifstream in(path);
    long n = 0;
    for (std::string line; std::getline(in, line);)
        n++;
    return n;
}

// Cycles as the timer starts them, each timed on the wall clock and on the
// thread's processor clock; `tick` runs before each.
void runCycles(int count, const std::function<void(int)> &tick, std::vector<double> &cpu, std::vector<double> &wall)
{
    for (int k = 1; k <= count; k++) {
        tick(k);
        const double c0 = clockSeconds(CLOCK_THREAD_CPUTIME_ID), w0 = clockSeconds(CLOCK_MONOTONIC);
        timer2(state.main_panel, 18, 15, nullptr, 0, 0);
        cpu.push_back(1e3 * (clockSeconds(CLOCK_THREAD_CPUTIME_ID) - c0));
        wall.push_back(1e3 * (clockSeconds(CLOCK_MONOTONIC) - w0));
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int recordedCycles = argc > 2 ? std::atoi(argv[2]) : 200;
    const int publishedCycles = argc > 3 ? std::atoi(argv[3]) : 1000;
    const int sealedCycles = 1200;
    if (cycles < 11 || recordedCycles < 1 || publishedCycles < 1) {
        std::fprintf(stderr, "usage: bench_cycle [cycles >= 11] [recorded cycles >= 1] [published cycles >= 1]\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const double turnaround = 0.01;
#ifndef _WIN32
    support::SimulatedAnalyser sim({"--no-pacing", "--turnaround", "0.002"});
    qputenv("RTE_COM1", QByteArray::fromStdString(sim.linkPath()));
    support::SimulatedAnalyser paced({"--turnaround", std::to_string(turnaround)});
    qputenv("RTE_COM2", QByteArray::fromStdString(paced.linkPath()));
    const support::TempDir dir;
    const std::string file = dir.file("bench.dat");
#else
    const std::string file = (std::filesystem::temp_directory_path() / "vandrel-bench-cycle.dat").string();
#endif

    int one = 1;
    start_engine(one, argv);
    laden();
    DisplayPanel(state.main_panel);
    settings = Settings{1, 0.1, 1, 1, 0, 0.0, 10.0};
    ComOpen();
    rte::testing::setClock(clockNow);
    rte::testing::queueFileSelect(0, "");
    rte::testing::operate(state.main_panel, kMainStart);

    std::vector<double> cpu, wall;
    runCycles(cycles - 1, [](int k) { testTime = 0.1 * k; }, cpu, wall);
    std::printf("cycles %d at 0.1 s, graph %d plots drawn as %d curves\n", cycles,
                rte::testing::plotCount(state.main_panel, kMainGraph),
                rte::testing::drawnCurveCount(state.main_panel, kMainGraph));
    report("own time, first 10 cycles", {cpu.begin(), cpu.begin() + 10});
    report("own time, last 10 cycles", {cpu.end() - 10, cpu.end()});
    report("own time, all cycles", cpu);
    report("cycle without pause or recording (wall)", wall);

    // The same program on the paced line, recording, with the real clock.
    rte::testing::operate(state.main_panel, kMainStop);
    CloseCom(settings.com_port);
    state.port_open = 0;
#ifndef _WIN32
    settings.com_port = 2;
#endif
    // Under Windows the one analyser there is (COM1, linked by the script)
    // answers unpaced: the recorded run measures the write and the sync,
    // not the line.
    rte::testing::setClock(nullptr);
    rte::testing::queueFileSelect(2, file);
    rte::testing::operate(state.main_panel, kMainStart);
    if (state.recording != 1) {
        std::fprintf(stderr, "the recorded run did not start recording\n");
        return 1;
    }
    std::vector<double> recCpu, recWall;
    runCycles(recordedCycles, [](int) {}, recCpu, recWall);
    // On a 9600-baud line a byte takes ten bit times; the reply ends with
    // its carriage return.
    const double wireMs =
        1e3 * (turnaround + (std::strlen(state.command) + std::strlen(state.reply) + 1) * 10.0 / 9600.0);
    rte::testing::operate(state.main_panel, kMainStop);
    std::printf("recorded run: %d cycles, %ld lines in the file\n", recordedCycles, linesIn(file));
    report("recorded cycle with its pause (wall)", recWall);
    report("  of it the program's own time", recCpu);
    std::printf("%-44s        %7.3f ms\n", "  of it the pause", 50.0);
    std::vector<double> rest;
    for (std::size_t i = 0; i < recWall.size(); i++)
        rest.push_back(recWall[i] - recCpu[i] - 50.0);
    std::printf("%-44s median %7.3f ms   (the line alone: %.3f ms)\n", "  of it the rest: wire and waiting",
                median(rest), wireMs);

    // The seal: a recorded run on the fast line and the test clock, a second
    // a cycle, so that each 60th cycle also writes an entry to the run file,
    // synced, and hands it to the outbox (off here: its cost is the
    // publishing runs' below).
    settings.com_port = 1;
    ComOpen();
    rte::testing::setClock(clockNow);
    testTime = 0;
    const std::string sealed = file + ".sealed.dat";
    rte::testing::queueFileSelect(2, sealed);
    rte::testing::operate(state.main_panel, kMainStart);
    std::vector<double> sealCpu, sealWall;
    runCycles(sealedCycles, [](int k) { testTime = k; }, sealCpu, sealWall);
    rte::testing::operate(state.main_panel, kMainStop);
    std::vector<double> lineCpu, lineWall, entryCpu, entryWall;
    for (std::size_t i = 0; i < sealCpu.size(); i++) {
        const bool entry = (i + 1) % 60 == 0;
        (entry ? entryCpu : lineCpu).push_back(sealCpu[i]);
        (entry ? entryWall : lineWall).push_back(sealWall[i]);
    }
    std::printf("sealed run: %d cycles a second apart on the test clock, %zu seal entries\n", sealedCycles,
                entryCpu.size());
    report("recorded cycle, own time, all cycles", sealCpu);
    report("  the cycles without an entry", lineCpu);
    report("  the cycles with an entry", entryCpu);
    report("recorded cycle (wall), the cycles without", lineWall);
    report("  the cycles with an entry (wall)", entryWall);
    std::filesystem::remove(sealed);
    std::filesystem::remove(file + ".sealed.info");

#ifndef _WIN32
    // Publishing: the fast line again, without recording, one fresh run for
    // each way.
    settings.com_port = 1;
    ComOpen();
    rte::testing::setClock(clockNow);
    support::MqttBroker broker(dir.path());
    if (!broker.start()) {
        std::fprintf(stderr, "the broker did not start\n");
        return 1;
    }
    publish_settings_load();
    std::snprintf(publishing.host, sizeof publishing.host, "127.0.0.1");
    publishing.port = broker.port();
    std::snprintf(publishing.client_id, sizeof publishing.client_id, "bench-cycle");
    const struct {
        const char *what;
        int enabled;
        bool brokerUp;
    } ways[] = {{"own time, publishing off", 0, true},
                {"own time, publishing to a local broker", 1, true},
                {"own time, publishing with the broker down", 1, false}};
    for (const auto &way : ways) {
        if (!way.brokerUp)
            broker.stop();
        publishing.enabled = way.enabled;
        publish_open();
        rte::testing::queueFileSelect(0, "");
        rte::testing::operate(state.main_panel, kMainStart);
        std::vector<double> pubCpu, pubWall;
        runCycles(publishedCycles, [](int k) { testTime = 0.1 * k; }, pubCpu, pubWall);
        rte::testing::operate(state.main_panel, kMainStop);
        report(way.what, pubCpu);
        report("  the same cycles (wall)", pubWall);
    }
    publish_stop();
    rte::testing::publishingEnded(30);
    // The outbox belongs to this run alone.
    for (const char *name : {"vandrel-outbox.sqlite", "vandrel-outbox.sqlite-wal", "vandrel-outbox.sqlite-shm",
                             "vandrel-outbox.sqlite.lock"}) {
        char path[kPathSize];
        if (settings_file_path(name, path) == 0)
            std::filesystem::remove(std::filesystem::u8path(path));
    }
#else
    std::filesystem::remove(file);
#endif
    std::printf("resident memory at the end  %ld KiB\n", residentKiB());
    return 0;
}
