#include "tests/support/privileges.h"

#include "tools/serial_locks.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <stdexcept>
#include <utility>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace support {
namespace {

std::string failed(const std::string &step) { return step + ": " + std::strerror(errno); }

bool writeFile(const char *path, const std::string &text)
{
    const int file = ::open(path, O_WRONLY);
    if (file < 0)
        return false;
    const bool whole = ::write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(file);
    return whole;
}

}  // namespace

int inChildProcess(const std::function<int()> &body)
{
    return finishChildProcess(startChildProcess(body));
}

int startChildProcess(const std::function<int()> &body)
{
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error(failed("fork"));
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::_exit(body());
    }
    return child;
}

int finishChildProcess(int child)
{
    // A child that ends holding a port (killed, or gone by _exit) leaves
    // its lock file: removed while the child is not yet reaped.
    siginfo_t info{};
    while (::waitid(P_PID, child, &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    removeSerialLocks(child);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string dropRoot()
{
    if (::geteuid() != 0)
        return "";
    const passwd *nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    const pid_t parent = ::getppid();
    if (::setgroups(0, nullptr) != 0)
        return failed("setgroups");
    if (::setgid(gid) != 0)
        return failed("setgid");
    if (::setuid(uid) != 0)
        return failed("setuid");
    // A change of user clears the signal that ends a child with its parent.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    return "";
}

std::string ownMounts()
{
    if (::unshare(CLONE_NEWNS) != 0) {
        if (errno != EPERM)
            return failed("unshare of the mount namespace");
        const std::string uid = std::to_string(::geteuid());
        const std::string gid = std::to_string(::getegid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return failed("unshare of a user and mount namespace (user namespaces may be off)");
        if (!writeFile("/proc/self/uid_map", uid + ' ' + uid + " 1\n"))
            return failed("mapping the user");
        if (!writeFile("/proc/self/setgroups", "deny") ||
            !writeFile("/proc/self/gid_map", gid + ' ' + gid + " 1\n"))
            return failed("mapping the group");
    }
    // Mounts made from here on stay in this namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failed("making the mounts private");
    return "";
}

std::string mountReadOnly(const std::string &directory)
{
    if (::mount(directory.c_str(), directory.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return failed("binding " + directory);
    // In a user namespace the flags of the mount underneath are locked: a
    // remount that left one out would be refused.
    struct statvfs underneath {};
    if (::statvfs(directory.c_str(), &underneath) != 0)
        return failed("reading the mount flags of " + directory);
    unsigned long flags = MS_BIND | MS_REMOUNT | MS_RDONLY;
    const std::pair<unsigned long, unsigned long> kept[] = {
        {ST_NOSUID, MS_NOSUID},     {ST_NODEV, MS_NODEV},         {ST_NOEXEC, MS_NOEXEC},
        {ST_NOATIME, MS_NOATIME}, {ST_NODIRATIME, MS_NODIRATIME}, {ST_RELATIME, MS_RELATIME}};
    for (const auto &[has, keep] : kept)
        if (underneath.f_flag & has)
            flags |= keep;
    if (::mount(nullptr, directory.c_str(), nullptr, flags, nullptr) != 0)
        return failed("making " + directory + " read-only");
    return "";
}

}  // namespace support
