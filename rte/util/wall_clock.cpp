#include "rte/utility.h"
#include "rte/util/clock_seam.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace rte::util {
namespace {

std::atomic<double (*)()> g_wall{nullptr};

// The wall clock's present moment: the system's, or the test's, which moves
// it as an operator or a time server would.
std::chrono::system_clock::time_point wallNow()
{
    using namespace std::chrono;
    if (auto fn = g_wall.load(std::memory_order_acquire)) {
        const double ms = std::floor(fn() * 1000.0);
        return system_clock::time_point(duration_cast<system_clock::duration>(milliseconds(static_cast<long long>(ms))));
    }
    return system_clock::now();
}

// Minutes east of UTC, from the broken-down local and UTC times of one
// moment, so that no system-specific time-zone field or strftime("%z") is
// needed (Windows' strftime writes the zone's name there).
int utcOffsetMinutes(const std::tm &local, const std::tm &utc)
{
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year)
        days = local.tm_year > utc.tm_year ? 1 : -1;
    return days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
}

// gmtime and localtime fill one buffer that every thread shares, and the
// outbox's sender stamps its messages on a thread of its own while the
// user-interface thread stamps a reading: each call fills the caller's.
bool brokenDown(std::time_t t, bool utc, std::tm &out)
{
#ifdef _WIN32
    return (utc ? ::gmtime_s(&out, &t) : ::localtime_s(&out, &t)) == 0;
#else
    return (utc ? ::gmtime_r(&t, &out) : ::localtime_r(&t, &out)) != nullptr;
#endif
}

}  // namespace

void setWallClockSource(double (*now)())
{
    g_wall.store(now, std::memory_order_release);
}

int isoTime(std::span<char> out, bool utc)
{
    using namespace std::chrono;
    if (out.empty())
        return -1;
    const auto now = wallNow();
    const std::time_t t = system_clock::to_time_t(now);
    const int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm u{}, l{};
    if (!brokenDown(t, true, u) || !brokenDown(t, false, l)) {
        out[0] = '\0';
        return -1;
    }
    const std::tm &shown = utc ? u : l;
    char zone[16] = "Z";
    if (!utc) {
        const int offset = utcOffsetMinutes(l, u);
        std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60,
                      std::abs(offset) % 60);
    }
    // Whole numbers only: the desktop's locale does not change them.
    const int n = std::snprintf(out.data(), out.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03d%s",
                                shown.tm_year + 1900, shown.tm_mon + 1, shown.tm_mday, shown.tm_hour,
                                shown.tm_min, shown.tm_sec, ms, zone);
    if (n < 0 || static_cast<std::size_t>(n) >= out.size()) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

}  // namespace rte::util

double GetUnixTime()
{
    const auto now = rte::util::wallNow().time_since_epoch();
    return std::chrono::duration<double>(now).count();
}
