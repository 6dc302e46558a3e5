#include "sim_link.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
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
    // Watched from after the simulator's own open, which is not a client's.
    clients_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (clients_ < 0 || ::inotify_add_watch(clients_, name, IN_OPEN | IN_CLOSE) < 0) {
        error = failed("watching the terminal's opens");
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
    for (int fd : {clients_, slave_, master_})
        if (fd >= 0)
            ::close(fd);
    clients_ = slave_ = master_ = -1;
    openCount_ = 0;
    terminal_.clear();
}

void Link::noticeClients()
{
    alignas(inotify_event) char events[4096];
    for (ssize_t length; (length = ::read(clients_, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            if (event->mask & IN_OPEN)
                ++openCount_;
            if (event->mask & IN_CLOSE)
                openCount_ = std::max(0, openCount_ - 1);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (openCount_ == 0)
        ::ioctl(slave_, TIOCNXCL);
}

}  // namespace sim
