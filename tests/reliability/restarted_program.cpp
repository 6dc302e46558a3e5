// The whole program's start, as its main does it, for the tests that kill it
// mid-run and start it again: a copy of it is started in the folder that
// keeps its settings.
//
//   restarted_program            starts; a run resumes or not by itself
//   restarted_program start FILE switches "Resume the run after a restart"
//                                and "Start with the session" on, in the
//                                Unattended panel, and starts a run
//                                recording to FILE
//   restarted_program stop       presses Stop once started
//   restarted_program full-disk-stop FILE
//                                keeps its settings on a tmpfs of its own
//                                (a mount namespace of this process, in a
//                                user namespace when not run by root),
//                                switches "Resume the run after a restart"
//                                on, starts a run recording to FILE (not in
//                                the settings folder), fills that disk and
//                                presses Stop; then starts over as the next
//                                start of the program does
//   restarted_program full-disk-off FILE
//                                the same, but switches "Resume the run
//                                after a restart" off before Stop
//
// After the start (and the action) it prints "running R recording C", then
// runs the event loop until it is ended.  The full-disk modes print after
// Stop instead:
//   running R recording C
//   switch S                  the switch as the program holds it
//   status <what the Unattended panel says of it>
//   mark <the resume file's lines, joined by blanks, or "none">
//   popup <title|message>     one for each popup shown
//   next start running R
// and end; or "unavailable: <why>" when no tmpfs can be mounted.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include "app/callbacks.h"
#include "app/panel_ids.h"
#include "app/settings_file.h"
#include "app/shell.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/resume.h"
#include "run/resume_mark.h"
#include "run/unattended_panel.h"
#include "tests/support/privileges.h"

namespace {

void startRecordedRun(const char *file)
{
    rte::testing::queueFileSelect(kSelectionNew, file);
    rte::testing::operate(state.main_panel, kMainStart);
}

void printRun()
{
    std::printf("running %d recording %d\n", state.running, state.recording);
    std::fflush(stdout);
}

// Fills the settings folder's disk to its last byte.
void fillSettingsDisk()
{
    char filler[kPathSize];
    if (settings_file_path("filler", filler) != 0)
        return;
    const int fd = ::open(filler, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    static const char block[4096] = {};
    for (std::size_t size = sizeof block; fd >= 0 && size > 0;)
        if (::write(fd, block, size) <= 0)
            size /= 2;
    if (fd >= 0)
        ::close(fd);
}

std::string markNow()
{
    char path[kPathSize];
    settings_file_path("vandrel-resume.ini", path);
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return "none";
    std::string lines(std::istreambuf_iterator<char>(file), {});
    for (char &c : lines)
        if (c == '\n')
            c = ' ';
    return lines;
}

void switchResume()
{
    rte::testing::activateMenuItem(state.menu_bar, kMainUnattendedItem);
    rte::testing::operate(unattended_panel, kUnattendedResume);
    rte::testing::closePanel(unattended_panel);
}

int stopOnAFullDisk(const char *file, bool switchOff)
{
    char folder[kPathSize];
    if (GetSettingsDir(folder) != 0 || ::mount("tmpfs", folder, "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
        std::printf("unavailable: mounting: %s\n", std::strerror(errno));
        return 0;
    }
    setup();
    switchResume();
    startRecordedRun(file);
    fillSettingsDisk();
    rte::testing::clearPopups();
    if (switchOff)
        switchResume();
    rte::testing::queueMessageAck();
    rte::testing::operate(state.main_panel, kMainStop);
    printRun();
    char status[200];
    GetCtrlVal(unattended_panel, kUnattendedStatus, status);
    std::printf("switch %d\nstatus %s\nmark %s\n", resume.on, status, markNow().c_str());
    for (const std::string &popup : rte::testing::popupLog())
        std::printf("popup %s\n", popup.c_str());
    resume_at_start();
    std::printf("next start running %d\n", state.running);
    std::fflush(stdout);
    ExitProgram(0);
    return RunUserInterface();
}

}  // namespace

int main(int argc, char **argv)
{
    const bool start = argc == 3 && std::strcmp(argv[1], "start") == 0;
    const bool stop = argc == 2 && std::strcmp(argv[1], "stop") == 0;
    const bool switchOff = argc == 3 && std::strcmp(argv[1], "full-disk-off") == 0;
    const bool fullDisk = switchOff || (argc == 3 && std::strcmp(argv[1], "full-disk-stop") == 0);
    if (argc != 1 && !start && !stop && !fullDisk) {
        std::fprintf(stderr, "usage: %s [start FILE | stop | full-disk-stop FILE | full-disk-off FILE]\n", argv[0]);
        return 2;
    }
    // Mounts of its own before the engine starts a thread.
    if (fullDisk)
        if (const std::string why = support::ownMounts(); !why.empty()) {
            std::printf("unavailable: %s\n", why.c_str());
            return 0;
        }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int engineArgc = 1;
    start_engine(engineArgc, argv);
    laden();
    // The panel file lies in the settings folder, which the tmpfs covers.
    if (fullDisk)
        return stopOnAFullDisk(argv[2], switchOff);
    setup();
    if (start) {
        switchResume();
        rte::testing::activateMenuItem(state.menu_bar, kMainUnattendedItem);
        rte::testing::operate(unattended_panel, kUnattendedSessionStart);
        rte::testing::closePanel(unattended_panel);
        startRecordedRun(argv[2]);
    }
    if (stop)
        rte::testing::operate(state.main_panel, kMainStop);
    printRun();
    return RunUserInterface();
}
