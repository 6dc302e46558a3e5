// The program publishing a recorded run while its store on disk fills up,
// in a process of its own: the store's folder is a tmpfs of one page in a
// mount namespace of this process, so nothing outside the test is touched.
//
//   publish_starved_store LINK FILE PORT CYCLES
//
// Publishes to 127.0.0.1:PORT, where no broker answers, so that every
// message goes to the store.  Held clock, CYCLES ticks one second apart;
// after each, one report line on standard output: cycle <TAB> the
// publishing condition; then "done".  When no tmpfs can be mounted it
// reports "unavailable: <why>" and ends.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <sys/mount.h>

#include "app/settings_file.h"
#include "publish/publish.h"
#include "publish/publish_settings.h"
#include "rte/userint.h"
#include "testing/program_driver.h"
#include "tests/support/privileges.h"

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s LINK FILE PORT CYCLES\n", argv[0]);
        return 2;
    }
    char store[kPathSize];
    if (settings_file_path("vandrel-publish.store", store) != 0)
        return 2;
    std::filesystem::create_directories(store);
    std::string why = support::ownMounts();
    if (why.empty() && ::mount("tmpfs", store, "tmpfs", MS_NOSUID | MS_NODEV, "size=4k") != 0)
        why = std::string("mounting: ") + std::strerror(errno);
    if (!why.empty()) {
        std::printf("unavailable: %s\n", why.c_str());
        return 0;
    }

    int engineArgc = 1;
    reliability::loadProgram(engineArgc, argv);
    if (!reliability::connectAnalyser(argv[1], 1.0))
        return 2;
    publish_settings_load();
    publishing.enabled = 1;
    std::snprintf(publishing.host, sizeof publishing.host, "127.0.0.1");
    publishing.port = std::atoi(argv[3]);
    std::snprintf(publishing.client_id, sizeof publishing.client_id, "starved-store");
    publish_open();
    if (!reliability::startRecordedRunOnHeldClock(argv[2]))
        return 2;
    const int cycles = std::atoi(argv[4]);
    for (int k = 1; k < cycles; ++k) {
        reliability::tickAt(k);
        char condition[kConditionSize];
        publish_condition(condition);
        std::printf("%d\t%s\n", k, condition);
    }
    std::printf("done\n");
    std::fflush(stdout);
    publish_stop();
    // The engine's own end releases the toolkit.
    ExitProgram(0);
    return RunUserInterface();
}
