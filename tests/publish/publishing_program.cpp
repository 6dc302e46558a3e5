// The program publishing a recorded run in a process of its own, for what
// a test cannot do to itself: fill the disk under its outbox, kill it, or
// start a second copy beside it.
//
//   publishing_program LINK FILE PORT CYCLES [--full-disk | --delete-lock]
//
// Publishes to 127.0.0.1:PORT with the held clock, one tick a second.
// After each cycle one report line on standard output: cycle <TAB> messages
// waiting in the outbox <TAB> the publishing condition; after the last,
// "done".  CYCLES 0 goes on until the process is ended.
// --full-disk: the settings folder, where the outbox lives, becomes a tmpfs
// of 96 KiB in a mount namespace of this process, once the program has
// loaded its panels; when no tmpfs can be mounted it reports
// "unavailable: <why>" and ends.
// --delete-lock: the outbox's lock file is deleted the moment before the
// program opens the outbox, as a copy that ran before might find it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mount.h>

#include "app/settings_file.h"
#include "publish/publish.h"
#include "publish/publish_settings.h"
#include "rte/mqtt.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "testing/program_driver.h"
#include "tests/support/privileges.h"

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s LINK FILE PORT CYCLES [--full-disk | --delete-lock]\n", argv[0]);
        return 2;
    }
    const bool fullDisk = argc > 5 && std::strcmp(argv[5], "--full-disk") == 0;
    const bool deleteLock = argc > 5 && std::strcmp(argv[5], "--delete-lock") == 0;
    std::string why;
    // Mounts of its own before any thread starts; the tmpfs itself only once
    // the panel file, which lies in the same folder, has been read.
    if (fullDisk)
        why = support::ownMounts();
    int engineArgc = 1;
    reliability::loadProgram(engineArgc, argv);
    char folder[260];
    if (fullDisk && why.empty() &&
        (GetSettingsDir(folder) != 0 || ::mount("tmpfs", folder, "tmpfs", MS_NOSUID | MS_NODEV, "size=96k") != 0))
        why = std::string("mounting: ") + std::strerror(errno);
    if (!why.empty()) {
        std::printf("unavailable: %s\n", why.c_str());
        return 0;
    }
    if (!reliability::connectAnalyser(argv[1], 1.0))
        return 2;
    publish_settings_load();
    publishing.enabled = 1;
    std::snprintf(publishing.host, sizeof publishing.host, "127.0.0.1");
    publishing.port = std::atoi(argv[3]);
    std::snprintf(publishing.prefix, sizeof publishing.prefix, "vandrel/publish-test");
    std::snprintf(publishing.client_id, sizeof publishing.client_id, "publishing-program");
    char lock[kPathSize];
    if (deleteLock && settings_file_path("vandrel-outbox.sqlite.lock", lock) == 0)
        std::remove(lock);
    publish_open();
    if (!reliability::startRecordedRunOnHeldClock(argv[2]))
        return 2;
    const int cycles = std::atoi(argv[4]);
    for (int k = 1; cycles == 0 || k < cycles; ++k) {
        reliability::tickAt(k);
        char condition[kConditionSize];
        publish_condition(condition);
        std::printf("%d\t%lld\t%s\n", k, GetOutboxStatus().waiting, condition);
        std::fflush(stdout);
    }
    std::printf("done\n");
    std::fflush(stdout);
    publish_stop();
    // The engine's own end releases the toolkit.
    ExitProgram(0);
    return RunUserInterface();
}
