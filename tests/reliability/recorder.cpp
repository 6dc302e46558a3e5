// The program recording a run in a process of its own, for the tests that
// kill it or take its disk space away.
//
//   reliability_recorder LINK FILE
//       Real clock and real timer ticks at 0.05 s, the event loop running,
//       until the process is ended.
//   reliability_recorder LINK FILE CYCLES file-limit BYTES
//   reliability_recorder LINK FILE CYCLES tmpfs
//       Recording can grow the file only to BYTES (RLIMIT_FSIZE, SIGXFSZ
//       ignored), or the file's directory is a tmpfs of one page in a mount
//       namespace of this process (in a user namespace of its own when not
//       run by root).  Held clock, CYCLES ticks one second apart; after
//       each, one report line on standard output:
//           cycle <TAB> file display <TAB> reading display <TAB> newest drawn time
//       then "pid N" and "done", and the process waits to be ended so that
//       the file stays readable through /proc/N/root.  When no tmpfs can be
//       mounted it reports "unavailable: <why>" and ends.
//
// LINK is the simulated analyser's device; FILE must not exist yet.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "testing/program_driver.h"
#include "tests/support/privileges.h"

namespace {

using namespace reliability;

// The tmpfs stays in this process's own mount namespace, so nothing outside
// the test is touched and it goes away with the process.  Without root, a
// user namespace of its own gives the process the right to mount.
bool mountOnePageTmpfs(const std::string &directory)
{
    std::string why = support::ownMounts();
    if (why.empty() &&
        ::mount("tmpfs", directory.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4k") != 0)
        why = std::string("mounting: ") + std::strerror(errno);
    if (!why.empty())
        std::printf("unavailable: %s\n", why.c_str());
    return why.empty();
}

void limitFileSize(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// Standard output is a file too: the report is written once the limit is
// lifted again.
void liftFileSizeLimit()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

int runUntilEnded(const std::string &file)
{
    if (!startRecordedRun(file))
        return 2;
    return RunUserInterface();
}

int runCycles(const std::string &file, int cycles)
{
    if (!startRecordedRunOnHeldClock(file))
        return 2;
    std::string report;
    for (int k = 1; k < cycles; ++k) {
        tickAt(k);
        report += std::to_string(k) + '\t' + controlText(kMainFile) + '\t' + controlText(kMainReading) + '\t' +
                  std::to_string(newestDrawnTime()) + '\n';
    }
    rte::testing::operate(state.main_panel, kMainStop);
    liftFileSizeLimit();
    std::printf("%spid %d\ndone\n", report.c_str(), static_cast<int>(::getpid()));
    std::fflush(stdout);
    for (;;)
        ::pause();
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string starve = argc > 4 ? argv[4] : "";
    if (argc != 3 && !(argc == 5 && starve == "tmpfs") && !(argc == 6 && starve == "file-limit")) {
        std::fprintf(stderr, "usage: %s LINK FILE [CYCLES file-limit BYTES | CYCLES tmpfs]\n", argv[0]);
        return 2;
    }
    const std::string link = argv[1];
    const std::string file = argv[2];
    const int cycles = argc > 3 ? std::atoi(argv[3]) : 0;
    if (starve == "tmpfs" && !mountOnePageTmpfs(std::filesystem::path(file).parent_path()))
        return 0;

    int engineArgc = 1;
    loadProgram(engineArgc, argv);
    if (!connectAnalyser(link, cycles > 0 ? 1.0 : 0.05))
        return 2;
    if (starve == "file-limit")
        limitFileSize(std::strtoull(argv[5], nullptr, 10));
    return cycles > 0 ? runCycles(file, cycles) : runUntilEnded(file);
}
