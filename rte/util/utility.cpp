// Clock and paths: Timer, Delay, GetProjectDir, MakePathname, the host
// name, and the clock seam of clock_seam.h.  The system's side of paths is in
// utility_os.h.
#include "rte/utility.h"
#include "rte/util/clock_seam.h"
#include "rte/util/text_out.h"
#include "rte/util/utility_os.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::atomic<double (*)()> g_clock{nullptr};

// Longest delay honoured; longer ones (and +inf) are cut to this, so the
// conversion to a time point cannot overflow.
constexpr double kMaxDelay = 1e9;  // about 31 years

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
    // A deadline on the monotonic clock, slept towards until it has passed:
    // an interrupted or early-woken sleep resumes without drifting.  (Not
    // clock_nanosleep: Windows' threads library knows only the wall clock
    // there and returns at once for the monotonic one.)
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (auto now = Clock::now(); now < deadline; now = Clock::now())
        std::this_thread::sleep_for(deadline - now);
}

namespace rte::util {

void setClockSource(double (*now)())
{
    g_clock.store(now, std::memory_order_release);
}

int projectDir(std::span<char> out)
{
    setEmpty(out);
    const std::string exe = os::executablePath();
    std::size_t len = exe.size();
    while (len > 0 && !os::isSeparator(exe[len - 1]))
        --len;
    if (len == 0)
        return -1;
    if (len > 1)
        --len;  // the separator goes, unless the executable sits in the root directory
    if (len + 1 > out.size())
        return -1;
    std::memcpy(out.data(), exe.data(), len);
    out[len] = '\0';
    return 0;
}

int hostName(std::span<char> out)
{
    return copyWhole(out, os::hostName());
}

int userAccount(std::span<char> out)
{
    return copyWhole(out, os::userAccount());
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
    const bool sep = dlen > 0 && !os::isSeparator(dir[dlen - 1]);
    const std::size_t total = dlen + (sep ? 1 : 0) + nlen;
    if (total + 1 > out.size())
        return -1;
    std::memcpy(out.data(), dir, dlen);
    std::size_t at = dlen;
    if (sep)
        out[at++] = os::kSeparator;
    std::memcpy(out.data() + at, name, nlen);
    out[total] = '\0';
    return 0;
}

}  // namespace rte::util
