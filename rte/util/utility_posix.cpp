// The system's side of the program's paths on POSIX: the executable from
// /proc/self/exe, the settings in $XDG_CONFIG_HOME/<program> or
// ~/.config/<program> when the program's own directory is not writable;
// the start with the session by a desktop entry in the autostart folder.
#include "rte/util/utility_os.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rte::util::os {
namespace {

// $XDG_CONFIG_HOME, or ~/.config; empty when neither can be had.
std::string configHome()
{
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return xdg;
    const char *home = std::getenv("HOME");
    if (!home || *home != '/') {
        const passwd *user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.config" : std::string();
}

// The executable as one argument of a desktop entry's Exec key: quoted, with
// the characters that quoting leaves special escaped, then escaped again as
// the entry's string values are; a percent sign doubled, as field codes
// need.  Empty for a path that no entry can hold (a control character).
std::string execArgument(const std::string &path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return {};
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += '\\';
        if (c == '%')
            value += '%';
        value += c;
    }
    return value;
}

}  // namespace

const char kSeparator = '/';
const bool kFoldsCase = false;

bool makeDirectory(const std::string &path)
{
    // The user's alone, as the settings in it are.  A folder there already
    // keeps its mode: ~/.config is the desktop's, not ours to change.
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool isSeparator(char c)
{
    return c == '/';
}

std::string executablePath()
{
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof exe - 1)
        return {};
    return std::string(exe, static_cast<std::size_t>(n));
}

bool mayWrite(const std::string &dir)
{
    return ::access(dir.c_str(), W_OK) == 0;
}

std::string userSettingsDir()
{
    const std::string base = configHome();
    if (base.empty())
        return {};
    const std::string exe = executablePath();
    if (exe.empty())
        return {};
    const std::string dir = base + "/" + exe.substr(exe.rfind('/') + 1);
    if (!makeDirectory(base) || !makeDirectory(dir))
        return {};
    return dir;
}

std::string sessionStartPath(const std::string &profile)
{
    const std::string base = configHome();
    if (base.empty())
        return {};
    return base + (profile.empty() ? "/autostart/vandrel.desktop" : "/autostart/vandrel-" + profile + ".desktop");
}

bool writeSessionStart(const std::string &entry, const std::string &exe, const std::string &profile)
{
    const std::string program = execArgument(exe);
    const std::string dir = entry.substr(0, entry.rfind('/'));
    if (program.empty() || !makeDirectory(dir.substr(0, dir.rfind('/'))) || !makeDirectory(dir))
        return false;
    // A profile's name needs no quoting: letters, digits, '-' and '_'.
    const std::string exec = profile.empty() ? program : program + " --profile " + profile;
    const std::string text = "[Desktop Entry]\nType=Application\nName=Vandrel" +
                             (profile.empty() ? "" : " " + profile) +
                             "\nComment=Oxygen analyser: resumes a run that a restart ended\n"
                             "Exec=" + exec + "\nTerminal=false\n";
    // A temporary beside it, synced and renamed over it: a session that
    // starts after a power cut finds the old entry or the new one.
    const std::string fresh = entry + ".new";
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const bool written = done == text.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(fresh.c_str(), entry.c_str()) != 0) {
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

bool removeSessionStart(const std::string &entry)
{
    return ::unlink(entry.c_str()) == 0 || errno == ENOENT;
}

bool fileExists(const std::string &path)
{
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string hostName()
{
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string userAccount()
{
    // The account by the process's user id, not $USER, which anyone may set
    // and which su or a service manager may leave behind.
    const passwd *user = ::getpwuid(::geteuid());
    if (user && user->pw_name && *user->pw_name)
        return user->pw_name;
    // An id with no entry (a container's user) is still an account.
    return std::to_string(static_cast<unsigned long>(::geteuid()));
}

}  // namespace rte::util::os
