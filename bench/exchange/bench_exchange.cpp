// Round trip of one exchange as the program makes it (FlushOutQ, ComWrt
// "M2\r", FlushInQ, ComRdTerm of 24 bytes up to CR) against the simulated
// analyser over a pseudo-terminal, beside the time the same bytes take on a
// 9600-baud line.  The simulator paces its reply like the line and waits a
// fixed turnaround first, so the round trip less those is what the service,
// the terminal and the simulator's wake-ups add; a run without pacing and
// with a short turnaround leaves less of the simulator's timing in it.
#include "rte/rs232.h"
#include "tools/simulated_analyser.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPort = 1;
constexpr int kExchanges = 1000;
constexpr int kWarmUp = 20;
// A start bit, eight data bits and a stop bit at 9600 baud.
constexpr double kByteMs = 10.0 / 9600.0 * 1000.0;
constexpr int kQueryBytes = 3;
constexpr double kTurnaroundMs = 10.0;
// Without pacing the reply still needs a short turnaround, or it can arrive
// before the exchange's FlushInQ and be flushed.
constexpr double kShortTurnaroundMs = 2.0;

struct Run {
    std::vector<double> roundTripsMs;  // of the exchanges that read a reply
    int failed = 0;
    int replyBytes = 0;  // with its carriage return
    double processorMsPerExchange = 0.0;
};

double processorMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

bool exchangeOnce(int &replyBytes)
{
    char reply[25];
    FlushOutQ(kPort);
    ComWrt(kPort, "M2\r", kQueryBytes);
    FlushInQ(kPort);
    const int stored = ComRdTerm(kPort, reply, 24, 13);
    replyBytes = stored + 1;
    return ReturnRS232Err() == kRs232NoError && stored > 3 && reply[0] == 'M';
}

std::string seconds(double ms) { return std::to_string(ms / 1000.0); }

Run measure(std::vector<std::string> simulatorOptions, double turnaroundMs)
{
    simulatorOptions.insert(simulatorOptions.end(), {"--turnaround", seconds(turnaroundMs)});
    const support::SimulatedAnalyser sim(simulatorOptions);
    ::setenv("RTE_COM1", sim.linkPath().c_str(), 1);
    Run run;
    if (OpenComConfig(kPort, "", 9600, 0, 8, 1, 128, 24) != kRs232NoError) {
        std::fprintf(stderr, "cannot open %s\n", sim.linkPath().c_str());
        std::exit(1);
    }
    SetComTime(kPort, 0.5);
    for (int i = 0; i < kWarmUp; ++i)
        exchangeOnce(run.replyBytes);
    const double processorStart = processorMs();
    for (int i = 0; i < kExchanges; ++i) {
        const auto start = Clock::now();
        if (exchangeOnce(run.replyBytes))
            run.roundTripsMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        else
            ++run.failed;
    }
    run.processorMsPerExchange = (processorMs() - processorStart) / kExchanges;
    CloseCom(kPort);
    std::sort(run.roundTripsMs.begin(), run.roundTripsMs.end());
    return run;
}

// Median and worst less the time the line and the simulator account for.
void report(const char *label, const Run &run, double accountedMs)
{
    if (run.roundTripsMs.empty()) {
        std::printf("%-44s no exchange read a reply\n", label);
        return;
    }
    const double median = run.roundTripsMs[run.roundTripsMs.size() / 2];
    const double worst = run.roundTripsMs.back();
    std::printf("%-44s %9.3f %9.3f %7d\n", label, median, worst, run.failed);
    std::printf("%-44s %9.3f %9.3f\n", "  less line time and turnaround", median - accountedMs,
                worst - accountedMs);
    std::printf("%-44s %9.3f\n", "  processor time per exchange", run.processorMsPerExchange);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Run paced = measure({}, kTurnaroundMs);
    const Run unpaced = measure({"--no-pacing"}, kShortTurnaroundMs);

    const double wireMs = (kQueryBytes + paced.replyBytes) * kByteMs;
    std::printf("Exchange round trip over a pseudo-terminal, %d exchanges each, in ms\n", kExchanges);
    std::printf("(median and worst of the exchanges that read a reply)\n\n");
    std::printf("same bytes on a 9600-baud line: %.3f (%d query + %d reply bytes, 10 bits each)\n\n", wireMs,
                kQueryBytes, paced.replyBytes);
    std::printf("%-44s %9s %9s %7s\n", "", "median", "worst", "failed");
    report("paced like the line, 10 ms turnaround", paced, wireMs + kTurnaroundMs);
    report("without pacing, 2 ms turnaround", unpaced, kShortTurnaroundMs);
    return 0;
}
