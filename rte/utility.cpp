// Clock and paths: Timer, Delay, GetProjectDir, MakePathname, and the clock
// seam of rte/testing.h.
#include "rte/utility.h"
#include "rte/testing.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <cstdlib>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<double (*)()> g_clock{nullptr};

// Longest delay honoured; longer ones (and +inf) are cut to this, so the
// conversion to a time point cannot overflow.
constexpr double kMaxDelay = 1e9;  // about 31 years

void setEmpty(std::span<char> out)
{
    if (!out.empty())
        out[0] = '\0';
}

}  // namespace

double Timer()
{
    if (auto fn = g_clock.load(std::memory_order_acquire))
        return fn();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count();
}

void Delay(double seconds)
{
    if (!(seconds > 0))  // zero, negative, NaN
        return;
    if (g_clock.load(std::memory_order_acquire))
        return;
    if (seconds > kMaxDelay)
        seconds = kMaxDelay;
    // An absolute deadline on the monotonic clock, so interrupted sleeps
    // (signals) resume without drifting.
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    const double whole = std::floor(seconds);
    deadline.tv_sec += static_cast<time_t>(whole);
    deadline.tv_nsec += static_cast<long>((seconds - whole) * 1e9);
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

namespace rte::testing {

void setClock(double (*now)())
{
    g_clock.store(now, std::memory_order_release);
}

}  // namespace rte::testing

namespace rte::util {

int projectDir(std::span<char> out)
{
    setEmpty(out);
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof exe - 1)
        return -1;
    exe[n] = '\0';
    const char *slash = std::strrchr(exe, '/');
    if (!slash)
        return -1;
    std::size_t len = static_cast<std::size_t>(slash - exe);
    if (len == 0)
        len = 1;  // the executable sits in the root directory: "/"
    if (len + 1 > out.size())
        return -1;
    std::memcpy(out.data(), exe, len);
    out[len] = '\0';
    return 0;
}

int makePathname(const char *dir, const char *name, std::span<char> out)
{
    setEmpty(out);
    if (!dir)
        dir = "";
    if (!name)
        name = "";
    const std::size_t dlen = std::strlen(dir);
    const std::size_t nlen = std::strlen(name);
    // A separator between the two, unless the directory is empty or already
    // ends with one.
    const bool sep = dlen > 0 && dir[dlen - 1] != '/';
    const std::size_t total = dlen + (sep ? 1 : 0) + nlen;
    if (total + 1 > out.size())
        return -1;
    std::memcpy(out.data(), dir, dlen);
    std::size_t at = dlen;
    if (sep)
        out[at++] = '/';
    std::memcpy(out.data() + at, name, nlen);
    out[total] = '\0';
    return 0;
}

}  // namespace rte::util

namespace rte::util {

namespace {

bool copyOut(const std::string &text, std::span<char> out)
{
    if (text.size() + 1 > out.size())
        return false;
    std::memcpy(out.data(), text.c_str(), text.size() + 1);
    return true;
}

bool makeDirectory(const std::string &path)
{
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

int settingsDir(std::span<char> out)
{
    setEmpty(out);
    char own[4096];
    if (projectDir(own) != 0)
        return -1;
    if (::access(own, W_OK) == 0)
        return copyOut(own, out) ? 0 : -1;

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
            return -1;
        base = std::string(home) + "/.config";
    }
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return -1;
    exe[n] = '\0';
    const std::string dir = base + "/" + (std::strrchr(exe, '/') + 1);
    if (!makeDirectory(base) || !makeDirectory(dir))
        return -1;
    return copyOut(dir, out) ? 0 : -1;
}

}  // namespace rte::util
