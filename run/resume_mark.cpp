#include "run/resume_mark.h"

#include <cstring>

#include "app/settings_file.h"
#include "app/settings_line.h"
#include "files/file_name.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"

Resume resume;

static const char kResumeFile[] = "vandrel-resume.ini";

int resume_load()
{
    std::memset(&resume, 0, sizeof resume);
    return settings_pairs_read(kResumeFile, false, [](const char *key, const char *value) {
        if (std::strcmp(key, "resume") == 0)
            Scan(value, "%d", resume.on);
        else if (std::strcmp(key, "running") == 0)
            Scan(value, "%d", resume.running);
        else if (std::strcmp(key, "alive") == 0)
            Scan(value, "%f", resume.alive);
        else if (std::strcmp(key, "file") == 0)
            Fmt(resume.file, "%s", value);
    });
}

int resume_save()
{
    char fresh[kPathSize], path[kPathSize];
    const int file = settings_file_create("vandrel-resume.new", fresh);
    if (file > 0) {
        const int written = FmtFile(file, "resume=%d\nrunning=%d\nalive=%f[p1]\nfile=%s\n", resume.on,
                                    resume.running, resume.alive, resume.file);
        if (settings_file_replace(file, written, fresh, kResumeFile) == 0)
            return 0;
        RemoveFile(fresh);
    }
    // A disk too full for the new file still lets the old one go, and the
    // next start finds no run to resume in a file that is not there.
    if (resume.running != 0 || settings_file_path(kResumeFile, path) != 0 || RemoveFile(path) != 0)
        return -1;
    return resume.on == 0 ? 0 : kResumeSwitchLost;
}

int resume_run_started(const char *file)
{
    if (resume.on == 0)
        return 0;
    resume.running = 1;
    resume.alive = GetUnixTime();
    Fmt(resume.file, "%s", file);
    return resume_save();
}

void resume_alive()
{
    if (resume.on == 0 || resume.running == 0)
        return;
    const double now = GetUnixTime();
    // A clock set back leaves the sign of life in the future: renew it too.
    if (now - resume.alive < kAliveEvery && now >= resume.alive)
        return;
    resume.alive = now;
    resume_save();
}

void resume_run_ended()
{
    if (resume.running == 0)
        return;
    resume.running = 0;
    const int saved = resume_save();
    char path[kPathSize];
    // No folder, no file: nothing can resume, and the Unattended panel said
    // that the switch holds only until the program ends.
    if (saved == 0 || settings_file_path(kResumeFile, path) != 0)
        return;
    char message[kPathSize + 400];
    if (saved == kResumeSwitchLost)
        Fmt(message,
            "The run has ended. The switch \"Resume the run after a restart\" could not be saved "
            "(is the disk full?): %s is removed, so that the run does not start again by itself.\n\n"
            "The switch stays on until the program ends, and is saved again when the next run "
            "starts if the disk has room by then; otherwise switch it on again after the next "
            "start (Settings, Unattended...).",
            path);
    else
        Fmt(message,
            "The run has ended, but %s could neither be saved nor removed: the next start of the "
            "program resumes the run unless that file is deleted.",
            path);
    PathMessagePopup("Unattended", message);
}

int next_free_name(const char *old, char (&fresh)[kPathSize])
{
    const char *ext = name_extension(old);
    const int stem = static_cast<int>(ext - old);
    for (int n = 2; n < 100000; ++n) {
        char suffix[16];
        Fmt(suffix, "-%d", n);
        if (std::strlen(old) + std::strlen(suffix) + 1 > kPathSize)
            return -1;
        std::memcpy(fresh, old, static_cast<std::size_t>(stem));
        fresh[stem] = '\0';
        std::strcat(fresh, suffix);
        std::strcat(fresh, ext);
        long long size = 0;
        if (GetFileInfo(fresh, size) == 0)
            return 0;
    }
    fresh[0] = '\0';
    return -1;
}
