#include "run/resume_mark.h"

#include <cstring>

#include "app/settings_file.h"
#include "app/settings_line.h"
#include "files/file_name.h"
#include "rte/formatio.h"
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
    char fresh[kPathSize];
    const int file = settings_file_create("vandrel-resume.new", fresh);
    if (file <= 0)
        return -1;
    const int written = FmtFile(file, "resume=%d\nrunning=%d\nalive=%f[p1]\nfile=%s\n", resume.on,
                                resume.running, resume.alive, resume.file);
    return settings_file_replace(file, written, fresh, kResumeFile) == 0 ? 0 : -1;
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
    resume_save();
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
