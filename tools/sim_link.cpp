#include "sim_link.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {
namespace {

std::string failed(const char *what) { return std::string(what) + ": " + std::strerror(errno); }

// TCSANOW: a flush here (as TCSAFLUSH or Python's tty.setraw do) would
// drop a query that came early.
bool makeRaw(int fd)
{
    termios mode{};
    if (::tcgetattr(fd, &mode) != 0)
        return false;
    ::cfmakeraw(&mode);
    ::cfsetspeed(&mode, B9600);
    return ::tcsetattr(fd, TCSANOW, &mode) == 0;
}

// Points path at target through a fresh link renamed over it, so that the
// path is never missing or half made; refuses to replace anything but a
// link.
bool relink(const std::string &path, const std::string &target, std::string &error)
{
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = path + " exists and is not a symbolic link";
        return false;
    }
    const std::string fresh = path + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(target.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), path.c_str()) != 0) {
        error = failed(path.c_str());
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool Link::up(std::string &error)
{
    down();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = failed("pseudo-terminal");
        down();
        return false;
    }
    char name[PATH_MAX];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        error = failed("ptsname");
        down();
        return false;
    }
    terminal_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0 || !makeRaw(master_) || !makeRaw(slave_)) {
        error = failed(name);
        down();
        return false;
    }
    if (!relink(path_, terminal_, error)) {
        down();
        return false;
    }
    return true;
}

void Link::down()
{
    if (!terminal_.empty()) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path_.c_str(), target, sizeof target - 1);
        if (length >= 0 && std::string(target, static_cast<std::size_t>(length)) == terminal_)
            ::unlink(path_.c_str());
    }
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
    terminal_.clear();
}

}  // namespace sim
