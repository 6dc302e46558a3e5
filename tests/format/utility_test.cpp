// Clock and paths (rte/utility.h) and the clock seam of rte/util/clock_seam.h.
#include "rte/util/clock_seam.h"
#include "rte/utility.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <regex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// The separator MakePathname puts between a directory and a name.
#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// The directory the running test program lies in, as the system tells it,
// in UTF-8.
std::string executableDir()
{
#ifdef _WIN32
    wchar_t module[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::u8string dir = std::filesystem::path(std::wstring(module, n)).parent_path().u8string();
    return std::string(dir.begin(), dir.end());
#else
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
#endif
}

using Clock = std::chrono::steady_clock;

double elapsed(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

TEST(Timer, IsMonotonicSeconds)
{
    const double a = Timer();
    const auto t0 = Clock::now();
    double prev = a;
    for (int i = 0; i < 100000; ++i) {
        const double t = Timer();
        ASSERT_GE(t, prev);
        prev = t;
    }
    Delay(0.02);
    const double measured = elapsed(t0);
    const double b = Timer();
    EXPECT_GE(b - a, 0.02);
    // Seconds, not milli- or microseconds.
    EXPECT_LE(b - a, measured + 0.5);
}

TEST(Delay, BlocksForAtLeastTheTime)
{
    const auto t0 = Clock::now();
    Delay(0.05);
    EXPECT_GE(elapsed(t0), 0.05);
}

TEST(Delay, ZeroNegativeAndNaNReturnAtOnce)
{
    const auto t0 = Clock::now();
    Delay(0);
    Delay(-1);
    Delay(-std::numeric_limits<double>::infinity());
    Delay(std::numeric_limits<double>::quiet_NaN());
    Delay(1e-9);
    EXPECT_LT(elapsed(t0), 0.5);
}

double g_fake = 0;
double fakeNow() { return g_fake; }

TEST(SetClock, ReplacesTimerAndDelay)
{
    g_fake = 1234.5;
    rte::util::setClockSource(fakeNow);
    EXPECT_EQ(Timer(), 1234.5);
    g_fake = 1300.0;
    EXPECT_EQ(Timer(), 1300.0);
    const auto t0 = Clock::now();
    Delay(3600);  // returns at once under a test clock
    Delay(std::numeric_limits<double>::infinity());
    EXPECT_LT(elapsed(t0), 0.5);
    EXPECT_EQ(Timer(), 1300.0) << "Delay moves no clock";
    rte::util::setClockSource(nullptr);
    const double a = Timer();
    Delay(0.01);
    EXPECT_GE(Timer() - a, 0.01);
}

TEST(GetProjectDir, IsTheExecutablesDirectory)
{
    char dir[260];
    ASSERT_EQ(GetProjectDir(dir), 0);
    EXPECT_EQ(dir, executableDir());
    ASSERT_GT(std::strlen(dir), 1u);
    EXPECT_NE(dir[std::strlen(dir) - 1], kSep);
}

TEST(GetProjectDir, FailsEmptyWhenTooSmall)
{
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_LT(GetProjectDir(small), 0);
    EXPECT_STREQ(small, "");
}

TEST(MakePathname, JoinsWithASeparator)
{
    char path[260];
    EXPECT_EQ(MakePathname("/opt/vandrel", "vandrel.ini", path), 0);
    EXPECT_EQ(path, "/opt/vandrel" + std::string(1, kSep) + "vandrel.ini");
    EXPECT_EQ(MakePathname("/opt/vandrel/", "vandrel.ini", path), 0);
    EXPECT_STREQ(path, "/opt/vandrel/vandrel.ini");
    EXPECT_EQ(MakePathname("/", "vandrel.ini", path), 0);
    EXPECT_STREQ(path, "/vandrel.ini");
    EXPECT_EQ(MakePathname("", "vandrel.ini", path), 0);
    EXPECT_STREQ(path, "vandrel.ini");
    EXPECT_EQ(MakePathname("dir", "", path), 0);
    EXPECT_EQ(path, "dir" + std::string(1, kSep));
    EXPECT_EQ(MakePathname(nullptr, nullptr, path), 0);
    EXPECT_STREQ(path, "");
}

TEST(MakePathname, FailsEmptyWhenItDoesNotFit)
{
    char path[260];
    const std::string dir(200, 'd');
    const std::string name(58, 'n');
    // 200 + 1 + 58 = 259: fits exactly.
    EXPECT_EQ(MakePathname(dir.c_str(), name.c_str(), path), 0);
    EXPECT_EQ(std::strlen(path), 259u);
    // One more does not.
    const std::string longer(59, 'n');
    EXPECT_LT(MakePathname(dir.c_str(), longer.c_str(), path), 0);
    EXPECT_STREQ(path, "");
    const std::string huge(10000, 'h');
    struct {
        char path[260];
        char guard[16];
    } g;
    std::memset(g.guard, 'G', sizeof g.guard);
    EXPECT_LT(MakePathname(huge.c_str(), "vandrel.ini", g.path), 0);
    EXPECT_STREQ(g.path, "");
    EXPECT_EQ(std::string(g.guard, sizeof g.guard), std::string(16, 'G'));
    char tiny[1];
    EXPECT_LT(MakePathname("", "a", tiny), 0);
    EXPECT_STREQ(tiny, "");
    EXPECT_EQ(MakePathname("", "", tiny), 0);
}

}  // namespace

// Sets the time zone from a POSIX-style TZ text ("EST5"), which both C
// runtimes read; nullptr gives the system's zone back.
static void setZone(const char *tz)
{
#ifdef _WIN32
    ::_putenv_s("TZ", tz ? tz : "");
    ::_tzset();
#else
    if (tz)
        ::setenv("TZ", tz, 1);
    else
        ::unsetenv("TZ");
    ::tzset();
#endif
}

// The same moment read both ways: the local text carries the zone's offset,
// and its clock time is the UTC time moved by that offset.
TEST(GetIsoTime, LocalWithOffsetAndUtc)
{
    const std::regex shape(R"((\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.\d{3}(Z|[+-]\d\d:\d\d))");
    struct Case {
        const char *tz;
        const char *suffix;
        int minutes;
    };
    for (const Case &c : {Case{"UTC0", "+00:00", 0}, Case{"IST-5:30", "+05:30", 330},
                          Case{"EST5", "-05:00", -300}}) {
        setZone(c.tz);
        char local[32], utc[32];
        std::smatch l, u;
        std::string ls, us;
        // Both texts of one second: read again if a second began between them.
        do {
            ASSERT_EQ(GetIsoTime(local, 0), 0);
            ASSERT_EQ(GetIsoTime(utc, 1), 0);
            ls = local;
            us = utc;
        } while (ls.substr(17, 2) != us.substr(17, 2));
        ASSERT_TRUE(std::regex_match(ls, l, shape)) << ls;
        ASSERT_TRUE(std::regex_match(us, u, shape)) << us;
        EXPECT_EQ(l[7].str(), c.suffix) << ls;
        EXPECT_EQ(u[7].str(), "Z") << us;
        const auto minutesOfDay = [](const std::smatch &m) { return std::stoi(m[4]) * 60 + std::stoi(m[5]); };
        EXPECT_EQ(((minutesOfDay(l) - minutesOfDay(u) - c.minutes) % 1440 + 1440) % 1440, 0) << ls << " " << us;
    }
    setZone(nullptr);
    char small[10];
    EXPECT_LT(GetIsoTime(small, 1), 0);
    EXPECT_STREQ(small, "");
}

// The outbox's sender stamps its messages on a thread of its own while the
// user-interface thread stamps a reading: neither may take the other's
// broken-down time.  In a zone away from UTC a mixed-up local time shows
// another offset (ThreadSanitizer, scripts/tsan.sh, sees any overlap).
TEST(GetIsoTime, TwoThreadsAtOnceEachKeepTheirOwn)
{
    setZone("IST-5:30");
    const auto stamp = [](int utc, const char *suffix) {
        int wrong = 0;
        for (int i = 0; i < 2000; ++i) {
            char text[32];
            if (GetIsoTime(text, utc) != 0 || !std::string(text).ends_with(suffix))
                ++wrong;
        }
        return wrong;
    };
    int wrongUtc = 0;
    std::thread sender([&] { wrongUtc = stamp(1, "Z"); });
    const int wrongLocal = stamp(0, "+05:30");
    sender.join();
    setZone(nullptr);
    EXPECT_EQ(wrongLocal, 0);
    EXPECT_EQ(wrongUtc, 0);
}

TEST(GetHostName, NamesThisComputerOrFailsEmpty)
{
    char name[256];
    ASSERT_EQ(GetHostName(name), 0);
    EXPECT_GT(std::strlen(name), 0u);
    char small[1];
    EXPECT_LT(GetHostName(small), 0);
    EXPECT_STREQ(small, "");
}

// The account as the system names it elsewhere: id(1) by the process's
// user id, Windows by the session's %USERNAME%.
TEST(GetUserAccount, NamesTheAccountAsTheSystemDoesOrFailsEmpty)
{
    char name[300];
    ASSERT_EQ(GetUserAccount(name), 0);
#ifdef _WIN32
    const char *expected = std::getenv("USERNAME");
    ASSERT_NE(expected, nullptr);
    EXPECT_STREQ(name, expected);
#else
    std::string expected;
    if (FILE *id = ::popen("id -un 2>/dev/null || id -u", "r")) {
        char line[300] = {};
        if (std::fgets(line, sizeof line, id))
            expected = line;
        ::pclose(id);
    }
    while (!expected.empty() && expected.back() == '\n')
        expected.pop_back();
    EXPECT_EQ(name, expected);
#endif
    char small[1];
    EXPECT_LT(GetUserAccount(small), 0);
    EXPECT_STREQ(small, "");
}

// Texts that go on as UTF-8: one that is UTF-8 already stays as it is; one
// that is not is the Windows-1252 the program wrote before, converted.
TEST(CopyUtf8, KeepsUtf8AndConvertsWindows1252)
{
    struct Row {
        const char *given;
        const char *expected;
        int converted;
    };
    const Row rows[] = {
        {"", "", 0},
        {"vandrel/lab-1", "vandrel/lab-1", 0},
        {"Labor-S\xC3\xBC" "d", "Labor-S\xC3\xBC" "d", 0},
        {"\xCE\xA9 \xE6\xB8\xAC \xF0\x9F\xA7\xAA", "\xCE\xA9 \xE6\xB8\xAC \xF0\x9F\xA7\xAA", 0},  // Ω 測 🧪
        {"Labor-S\xFC" "d", "Labor-S\xC3\xBC" "d", 1},
        {"Gr\xFC\xDF" "e", "Gr\xC3\xBC\xC3\x9F" "e", 1},
        {"\x80 \x9F \xA0 \xFF", "\xE2\x82\xAC \xC5\xB8 \xC2\xA0 \xC3\xBF", 1},  // € Ÿ nbsp ÿ
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", 1},  // unassigned: kept as C1
        // Not UTF-8, though close: each byte is a Windows-1252 character.
        {"\xC0\xAF", "\xC3\x80\xC2\xAF", 1},                          // overlong '/'
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC", 1},           // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC", 1},  // beyond U+10FFFF
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A", 1},                       // cut short
        {"\xA9\x80", "\xC2\xA9\xE2\x82\xAC", 1},                       // a continuation first
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.given);
        char target[64];
        EXPECT_EQ(CopyUtf8(target, row.given), row.converted);
        EXPECT_STREQ(target, row.expected);
    }
}

// Cut to the target before a character that does not fit whole: what is
// cut is still UTF-8.
TEST(CopyUtf8, CutsBeforeACharacterThatDoesNotFit)
{
    char five[5];
    CopyUtf8(five, "ab\xC3\xBC\xC3\xBC");  // abüü
    EXPECT_STREQ(five, "ab\xC3\xBC");
    CopyUtf8(five, "abc\xF0\x9F\xA7\xAA");
    EXPECT_STREQ(five, "abc");
    CopyUtf8(five, "abc\xFC\xFC");  // converted first, then cut
    EXPECT_STREQ(five, "abc");
    char one[1];
    CopyUtf8(one, "\xC3\xBC");
    EXPECT_STREQ(one, "");
}

// The entry that starts the program with the session: written whole where
// the system looks for it, naming this executable, and removed again;
// either twice over changes nothing.
TEST(SessionStart, SwitchedOnAndOffStandsAsAsked)
{
#ifndef _WIN32
    // A configuration folder of the test's own, not yet there.
    const std::filesystem::path config =
        std::filesystem::temp_directory_path() / ("vandrel-session-" + std::to_string(::getpid()));
    std::filesystem::remove_all(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
#endif
    char entry[4096];
    ASSERT_EQ(GetSessionStartPath(entry), 0);
    const std::filesystem::path path(std::u8string(reinterpret_cast<const char8_t *>(entry)));
#ifdef _WIN32
    EXPECT_EQ(path.filename(), "Vandrel.lnk") << entry;
#else
    EXPECT_EQ(std::string(entry), (config / "autostart/vandrel.desktop").string());
#endif
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(SetSessionStart(1), 0);
        EXPECT_EQ(GetSessionStart(), 1);
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << entry;
        EXPECT_GT(std::filesystem::file_size(path), 0u);
    }
#ifndef _WIN32
    std::ifstream in(entry);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("\nExec=\"" + executableDir() + "/utility_test\"\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
#endif
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(SetSessionStart(0), 0);
        EXPECT_EQ(GetSessionStart(), 0);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
#ifndef _WIN32
    ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(config);
#endif
}
