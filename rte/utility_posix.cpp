// The system's side of the program's paths on POSIX: the executable from
// /proc/self/exe, the settings in $XDG_CONFIG_HOME/<program> or
// ~/.config/<program> when the program's own directory is not writable.
#include "rte/utility_os.h"

#include <cerrno>
#include <cstdlib>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rte::util::os {
namespace {

bool makeDirectory(const std::string &path)
{
    // The user's alone, as the settings in it are.  A folder there already
    // keeps its mode: ~/.config is the desktop's, not ours to change.
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

const char kSeparator = '/';

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
    std::string base;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || *home != '/') {
            const passwd *user = ::getpwuid(::getuid());
            home = user ? user->pw_dir : nullptr;
        }
        if (!home)
            return {};
        base = std::string(home) + "/.config";
    }
    const std::string exe = executablePath();
    if (exe.empty())
        return {};
    const std::string dir = base + "/" + exe.substr(exe.rfind('/') + 1);
    if (!makeDirectory(base) || !makeDirectory(dir))
        return {};
    return dir;
}

std::string hostName()
{
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

}  // namespace rte::util::os
