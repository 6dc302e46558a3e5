// Soak run: the program recording a long run against the simulated analyser,
// as fast as the analyser answers.  The clock is held and moved on by the
// interval at each tick, so the closing pause of a cycle costs nothing; the
// simulator answers almost at once (no line pacing, a 2 ms turnaround: the
// exchange flushes its input after the query, and now and then a reply comes
// before the flush and is lost).  The recording goes under TMPDIR; its
// fdatasync per line is part of what is measured.
//
//   soak_run [CYCLES [MAX_GROWTH_MB]]        (default 100000, at least 2000 cycles)
//
// Prints the resident memory at 1,000 and 10,000 cycles and at the end, the
// cycles per second, the longest cycle (a reply lost to the flush waits out
// the serial time-out of 0.3 s), and checks the recording: one
// complete line per cycle, each with its cycle's time.  Fails (status 1) on
// a wrong recording, or when MAX_GROWTH_MB is given and the resident memory
// grew by more than that from the 1,000th cycle (the history is full from
// the 900th) to the end.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include <unistd.h>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "testing/program_driver.h"
#include "testing/recording.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"

namespace {

using namespace reliability;
using Clock = std::chrono::steady_clock;

double residentMb()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Lines that do not hold their own cycle's time, or are not complete.
std::string recordingFault(const Recording &recording, long cycles)
{
    if (!recording.fault.empty())
        return recording.fault;
    if (static_cast<long>(recording.lines.size()) != cycles)
        return std::to_string(recording.lines.size()) + " lines for " + std::to_string(cycles) + " cycles";
    for (long k = 0; k < cycles; ++k)
        if (recording.lines[k].time != static_cast<double>(k))
            return "line " + std::to_string(k + 1) + " has the time " + std::to_string(recording.lines[k].time);
    return "";
}

// The run itself; the simulator and the recording's directory are gone
// when it returns.  Returns the process's status.
int soak(long cycles, double maxGrowthMb)
{
    try {
        support::SimulatedAnalyser analyser({"--no-pacing", "--turnaround", "0.002"});
        support::TempDir dir;
        const std::string path = dir.file("soak.dat");
        if (!connectAnalyser(analyser.linkPath(), 1.0) || !startRecordedRunOnHeldClock(path)) {
            std::fprintf(stderr, "soak_run: the recorded run does not start\n");
            return 2;
        }

        std::printf("soak_run: %ld cycles, recording to %s\n", cycles, path.c_str());
        double rssAtHistoryFull = 0;
        double longestMs = 0;  // of all cycles, and of those that read a reply
        double longestReadMs = 0;
        long noReading = 0;
        const auto start = Clock::now();
        for (long k = 1; k < cycles; ++k) {
            const auto begun = Clock::now();
            tickAt(static_cast<double>(k));
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begun).count();
            longestMs = std::max(longestMs, ms);
            if (state.reading == 0.0)
                ++noReading;
            else
                longestReadMs = std::max(longestReadMs, ms);
            if ((k + 1 == 1000 || k + 1 == 10000) && k + 1 < cycles) {
                const double rss = residentMb();
                if (k + 1 == 1000)
                    rssAtHistoryFull = rss;
                std::printf("  RSS at %6ld cycles: %8.1f MB\n", k + 1, rss);
                std::fflush(stdout);
            }
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double rssEnd = residentMb();
        rte::testing::operate(state.main_panel, kMainStop);
        rte::testing::setClock(nullptr);

        std::printf("  RSS at %6ld cycles: %8.1f MB (grew %.1f MB since cycle 1,000)\n", cycles, rssEnd,
                    rssEnd - rssAtHistoryFull);
        std::printf("  %.0f cycles per second; longest cycle %.1f ms, %.1f ms with a reading;"
                    " %ld cycles without a reading\n",
                    static_cast<double>(cycles - 1) / seconds, longestMs, longestReadMs, noReading);

        const std::string fault = recordingFault(readRecording(path), cycles);
        std::printf("  recording: %s\n", fault.empty() ? "one complete line per cycle" : fault.c_str());
        const bool grew = maxGrowthMb > 0 && rssEnd - rssAtHistoryFull > maxGrowthMb;
        if (grew)
            std::printf("  FAILED: memory grew by more than %.1f MB after the history was full\n", maxGrowthMb);
        return fault.empty() && !grew ? 0 : 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "soak_run: %s\n", e.what());
        return 2;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const long cycles = argc > 1 ? std::max(2000L, std::atol(argv[1])) : 100000L;
    const double maxGrowthMb = argc > 2 ? std::atof(argv[2]) : 0.0;
    loadProgram(argc, argv);
    // Ended as the program ends, through the engine, which releases the
    // toolkit first: what is left then is leaked.
    ExitProgram(soak(cycles, maxGrowthMb));
    return RunUserInterface();
}
