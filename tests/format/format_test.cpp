// The format language on texts: Fmt and Scan (rte/formatio.h).
#include "rte/formatio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr std::size_t kText = 512;

template <typename... Args>
std::string fmt(rte::fmt::WriteFormat<kText - 1, std::type_identity_t<Args>...> format,
                const Args &...args)
{
    char buf[kText];
    Fmt(buf, format, args...);
    return buf;
}

// The reference printf must round correctly.  On Windows that is mingw-w64's
// own (which its C++ library always selects), not the C runtime's: msvcrt
// rounds exact ties away from zero ("%.0f" of 2.5 gives "3") and writes an
// infinity as "1.#INF00".
#ifdef __MINGW32__
static_assert(__USE_MINGW_ANSI_STDIO, "snprintf must be mingw-w64's correctly rounding one");
#endif

std::string cfmt(const char *format, double v)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// Every value the program can meet, and then some.
std::vector<double> awkwardValues()
{
    std::vector<double> v = {0.0,
                             -0.0,
                             1.0,
                             -1.0,
                             0.1,
                             0.0999999,
                             0.09999999999,
                             0.5,
                             0.999,
                             0.9995,
                             0.99999,
                             9.995,
                             9.9999999,
                             10.0,
                             99.99,
                             99.95,
                             99.999,
                             100.0,
                             5.25,
                             2.5,
                             0.125,
                             209100.0,
                             12.3,
                             905.7,
                             123456.789,
                             999999.95,
                             9999999.5,
                             99999999.0,
                             999999999.0,
                             1e10,
                             -1e10,
                             12345678901234567890.0,
                             1e100,
                             -1e100,
                             9.99999e99,
                             1e300,
                             -1e300,
                             DBL_MAX,
                             -DBL_MAX,
                             DBL_MIN,
                             -DBL_MIN,
                             DBL_TRUE_MIN,
                             -DBL_TRUE_MIN,
                             1e-5,
                             -1e-5,
                             1e-99,
                             1e-100,
                             -9.9999e-100,
                             1e-300,
                             kInf,
                             -kInf,
                             kNaN,
                             -kNaN};
    std::mt19937_64 rng(20141);
    for (int i = 0; i < 3000; ++i) {
        const std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        v.push_back(d);
    }
    std::uniform_real_distribution<double> exps(-320, 310);
    for (int i = 0; i < 3000; ++i)
        v.push_back((i % 2 ? -1 : 1) * std::pow(10.0, exps(rng)));
    return v;
}

// ------------------------------------------------------------ writing

TEST(Fmt, LiteralsAndConversions)
{
    EXPECT_EQ(fmt("plain text"), "plain text");
    EXPECT_EQ(fmt("%d", 42), "42");
    EXPECT_EQ(fmt("%d", -7), "-7");
    EXPECT_EQ(fmt("%d[w5]|", 42), "   42|");
    EXPECT_EQ(fmt("%d[w2]", 12345), "12345");
    EXPECT_EQ(fmt("%f", 1.0), "1.000000");
    EXPECT_EQ(fmt("%f[p1]", 12.34), "12.3");
    EXPECT_EQ(fmt("%f[p0]", 2.5), "2");
    EXPECT_EQ(fmt("%f[e2]", 209100.0), "2.091000e+05");
    EXPECT_EQ(fmt("%f[e1]", 209100.0), "2.091000e+5");
    EXPECT_EQ(fmt("%f[e3p2]", 209100.0), "2.09e+005");
    EXPECT_EQ(fmt("%f[e2]", 1e-300), "1.000000e-300");
    EXPECT_EQ(fmt("%f[p2e2]", 0.0), "0.00e+00");
    EXPECT_EQ(fmt("%f[p0e2]", 5.0), "5e+00");
    EXPECT_EQ(fmt("%f[w8p2]", 3.14159), "    3.14");
    EXPECT_EQ(fmt("%f[]", 1.5), "1.500000");
    EXPECT_EQ(fmt("%c%c%c", 'M', '2', 13), "M2\r");
    EXPECT_EQ(fmt("* %s  *", "A9 bad"), "* A9 bad  *");
    EXPECT_EQ(fmt("%s", static_cast<const char *>(nullptr)), "");
    EXPECT_EQ(fmt("100%%"), "100%");
    EXPECT_EQ(fmt("%s>", "x"), "x>") << "the scan marker means nothing to Fmt";
}

TEST(Fmt, ReturnsConversionCount)
{
    char buf[64];
    EXPECT_EQ(Fmt(buf, "no conversions"), 0);
    EXPECT_EQ(Fmt(buf, "%d %f %s %c %%", 1, 2.0, "x", 'y'), 4);
    EXPECT_EQ(Fmt(buf, RuntimeFormat(" 0.0    "), 3.5), 0)
        << "a format made at run time may leave arguments unused";
    EXPECT_STREQ(buf, " 0.0    ");
}

TEST(Fmt, ProgramValueTexts)
{
    // The recording line.
    EXPECT_EQ(fmt(" %f[p1]\t%f[e2] \n", 12.3, 209100.0), " 12.3\t2.091000e+05 \n");
    EXPECT_EQ(fmt(" %f[p1]\t%f[e2] \n", 0.0, 0.0), " 0.0\t0.000000e+00 \n");
    EXPECT_EQ(fmt(" %f[p1]\t%f[e2] \n", 905.74, -3.5e-7), " 905.7\t-3.500000e-07 \n");
    // The settings line, defaults.
    EXPECT_EQ(fmt(" %d %f %d %d %d %f %f  Kv_2014\n", 1, 1.0, 1, 1, 0, 0.0, 10.0),
              " 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n");
    // messwert's two stages.
    EXPECT_EQ(fmt(" %cf[p%dw10] ppm O2", '%', 2), " %f[p2w10] ppm O2");
    EXPECT_EQ(fmt(" %cf[e2w10] ppm O2", 37), " %f[e2w10] ppm O2");
    EXPECT_EQ(fmt(" %f[p2w10] ppm O2", 5.25), "       5.25 ppm O2");
    EXPECT_EQ(fmt(" %f[p3w10] ppm O2", 0.5), "      0.500 ppm O2");
    EXPECT_EQ(fmt(" %f[p0w10] ppm O2", 20.9e4), "     209000 ppm O2");
    EXPECT_EQ(fmt(" %f[p1w10] mV    ", -12.34), "      -12.3 mV    ");
    EXPECT_EQ(fmt(" %f[p1w10] \260C    ", 23.45), "       23.4 \260C    ");
    EXPECT_EQ(fmt(" %f[e2w10] ppm O2", 0.05), " 5.0000e-02 ppm O2");
    EXPECT_EQ(fmt(" %f[e2w10] ppm O2", -0.05), " -5.000e-02 ppm O2");
    EXPECT_EQ(fmt(" %f[e2w10] ppm O2", 0.0), " 0.0000e+00 ppm O2");
    EXPECT_EQ(fmt(" %f[e2w10] ppm O2", -0.0), " -0.000e+00 ppm O2");
    EXPECT_EQ(fmt(RuntimeFormat(" 0.0    "), 123.0), " 0.0    ");
    // Wider than the field: scientific, fitted.
    EXPECT_EQ(fmt("%f[p0w10]", 1e300), "1.000e+300");
    EXPECT_EQ(fmt("%f[p0w10]", -1e300), "-1.00e+300");
    EXPECT_EQ(fmt("%f[p3w10]", 12345678.9), "1.2346e+07");
    EXPECT_EQ(fmt("%f[p0w10]", 9999999999.6), "1.0000e+10");
    EXPECT_EQ(fmt("%f[p0w10]", 9999999999.4), "9999999999");
    EXPECT_EQ(fmt("%f[p0w3]", 1e300), "1e+300") << "at least one mantissa digit";
    EXPECT_EQ(fmt("%f[e2w5]", 1.5), "2e+00");
    // Not numbers.
    EXPECT_EQ(fmt("%f[p1w10]", kNaN), "       nan");
    EXPECT_EQ(fmt("%f[p1w10]", -kNaN), "       nan");
    EXPECT_EQ(fmt("%f[p1w10]", kInf), "       inf");
    EXPECT_EQ(fmt("%f[p1w10]", -kInf), "      -inf");
    EXPECT_EQ(fmt("%f[e2]", kNaN), "nan");
    EXPECT_EQ(fmt("%f", -kInf), "-inf");
}

// Every value text of the program stays in its bounds for any double, and
// reads back as the value it shows.
TEST(Fmt, ProgramFormatsBoundedForEveryDouble)
{
    struct Form {
        const char *format;
        std::size_t exact;  // exact length, or 0
        std::size_t most;   // upper bound
    };
    const Form forms[] = {
        {" %f[p0w10] ppm O2", 18, 18}, {" %f[p1w10] ppm O2", 18, 18},
        {" %f[p2w10] ppm O2", 18, 18}, {" %f[p3w10] ppm O2", 18, 18},
        {" %f[e2w10] ppm O2", 18, 18}, {" %f[p1w10] mV    ", 18, 18},
        {" %f[p1w10] \260C    ", 18, 18},
        {"%f[p1]", 0, 1 + 309 + 2}, {"%f[e2]", 0, 14},
    };
    for (double v : awkwardValues()) {
        for (const Form &f : forms) {
            char text[32];
            Fmt(text, RuntimeFormat(f.format), v);
            const std::string s = fmt(RuntimeFormat(f.format), v);
            const std::size_t len = s.size();
            if (f.exact) {
                ASSERT_EQ(len, f.exact) << f.format << " of " << v << ": [" << s << "]";
                ASSERT_STREQ(text, s.c_str());
            }
            ASSERT_LE(len, f.most) << f.format << " of " << v;
            // Read it back.
            double back = 12345;
            if (Scan(s.c_str(), "%f", back) != 1) {
                // Only a text rounded past the largest double ("1.798e+308")
                // is out of range.
                ASSERT_GT(std::fabs(v), 1.79e308) << f.format << " of " << v << ": " << s;
                continue;
            }
            if (std::isnan(v)) {
                EXPECT_TRUE(std::isnan(back));
            } else if (std::isinf(v)) {
                EXPECT_EQ(back, v);
            } else {
                // Shown with at least 2 digits after the point of the
                // mantissa, or fixed with at least p0.
                const double tol = std::max(0.5000001, std::fabs(v) * 0.0051);
                ASSERT_LE(std::fabs(back - v), tol) << f.format << " of " << v << ": " << s;
            }
        }
    }
}

// %f[r]: the fewest digits that still read back as the same double, so
// that a value written to a file or a message is the value read from it.
TEST(Fmt, ShortestTextReadsBackAsTheSameDouble)
{
    const std::pair<double, const char *> texts[] = {
        {4e-7, "4e-07"},
        {1e-7, "1e-07"},
        {5e-7, "5e-07"},
        {1.23456789e-4, "0.000123456789"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {10.0, "10"},
        {209100.0, "209100"},
        {1e15, "1e+15"},
        {1e300, "1e+300"},
        {-1e300, "-1e+300"},
        {DBL_MAX, "1.7976931348623157e+308"},
        {DBL_MIN, "2.2250738585072014e-308"},
        {DBL_TRUE_MIN, "5e-324"},
        {-0.0, "-0"},
        {0.0, "0"},
        {kNaN, "nan"},
        {-kInf, "-inf"},
    };
    for (const auto &[value, text] : texts)
        EXPECT_EQ(fmt("%f[r]", value), text) << value;
    EXPECT_EQ(fmt("%f[w8r]|", 4e-7), "   4e-07|") << "a field pads it";
    EXPECT_EQ(fmt("%f[rw3]", 1.23456789e-4), "0.000123456789") << "and never shortens it";

    for (double v : awkwardValues()) {
        const std::string text = fmt("%f[r]", v);
        double back = 0;
        ASSERT_EQ(Scan(text.c_str(), "%f", back), 1) << text;
        if (std::isnan(v))
            EXPECT_TRUE(std::isnan(back));
        else
            ASSERT_EQ(std::memcmp(&back, &v, sizeof v), 0) << text << " reads back as " << back;
        // No shorter text in either notation reads back as the value.
        if (std::isfinite(v) && text.size() > 1) {
            for (int digits = 0; digits < 17; ++digits) {
                char shorter[64];
                std::snprintf(shorter, sizeof shorter, "%.*e", digits, v);
                if (std::strlen(shorter) < text.size() && std::strtod(shorter, nullptr) == v)
                    FAIL() << shorter << " is shorter than " << text;
            }
        }
    }
}

// A width of 7 or more (4 + N for eN above e3) holds every value exactly.
TEST(Fmt, AWidthBoundsEveryValue)
{
    const std::vector<double> values = awkwardValues();
    for (int w = 7; w <= 24; w += (w < 12 ? 1 : 6)) {
        for (const char *shape : {"%%f[p0w%d]", "%%f[p3w%d]", "%%f[p99w%d]", "%%f[e1w%d]",
                                  "%%f[e2w%d]", "%%f[e3p12w%d]", "%%f[w%d]"}) {
            char format[32];
            std::snprintf(format, sizeof format, shape, w);
            for (std::size_t k = 0; k < values.size(); k += 7)
                ASSERT_EQ(fmt(RuntimeFormat(format), values[k]).size(),
                          static_cast<std::size_t>(w))
                    << format << " of " << values[k];
        }
    }
    EXPECT_EQ(fmt("%f[e5w9]", -DBL_MAX), "-2e+00308");
    EXPECT_EQ(fmt("%f[e5w12]", -DBL_MAX), "-1.80e+00308");
}

// The subset shared with printf, checked against snprintf under the C locale.
TEST(Fmt, AgreesWithSnprintfOnTheSharedSubset)
{
    std::setlocale(LC_ALL, "C");
    struct Row {
        const char *ours;
        const char *theirs;
        int width;  // our field width; printf is compared only where the text fits
    };
    const Row rows[] = {
        {"%f", "%f", 0},
        {"%f[p0]", "%.0f", 0},
        {"%f[p1]", "%.1f", 0},
        {"%f[p2]", "%.2f", 0},
        {"%f[p3]", "%.3f", 0},
        {"%f[p9]", "%.9f", 0},
        {"%f[p0w10]", "%10.0f", 10},
        {"%f[p1w10]", "%10.1f", 10},
        {"%f[p2w10]", "%10.2f", 10},
        {"%f[p3w10]", "%10.3f", 10},
        {"%f[w20]", "%20f", 20},
        {"%f[e2]", "%e", 0},
        {"%f[e2p0]", "%.0e", 0},
        {"%f[e2p3]", "%.3e", 0},
        {"%f[e2p16]", "%.16e", 0},
        {"%f[e2w14p4]", "%14.4e", 14},
        {"%f[e2w10p3]", "%10.3e", 10},
    };
    int compared = 0;
    for (double v : awkwardValues()) {
        if (std::isnan(v))
            continue;  // printf writes "-nan" for a negative NaN; we write "nan"
        for (const Row &r : rows) {
            const std::string ours = fmt(RuntimeFormat(r.ours), v);
            const std::string theirs = cfmt(r.theirs, v);
            if (r.width && theirs.size() > static_cast<std::size_t>(r.width))
                continue;  // printf overflows the field; we fit it
            if (ours.size() > 500)
                continue;  // cut by the test buffer
            ASSERT_EQ(ours, theirs) << r.ours << " vs " << r.theirs << " of " << v;
            ++compared;
        }
    }
    EXPECT_GT(compared, 50000);
    const int ints[] = {0, 1, -1, 42, -42, 99999, INT_MAX, INT_MIN};
    for (int i : ints) {
        char theirs[64];
        std::snprintf(theirs, sizeof theirs, "%d|%5d|%c|%%", i, i, 'A' + (i & 7));
        EXPECT_EQ(fmt("%d|%d[w5]|%c|%%", i, i, 'A' + (i & 7)), theirs);
    }
    char theirs[64];
    std::snprintf(theirs, sizeof theirs, "<%s>", "a text");
    EXPECT_EQ(fmt("<%s>", "a text"), theirs);
}

// ------------------------------------------------------------ bounds

template <std::size_t N>
struct Guarded {
    char target[N];
    char guard[32];
    Guarded()
    {
        std::memset(target, 'T', N);
        std::memset(guard, 'G', sizeof guard);
    }
    bool guardIntact() const
    {
        for (char c : guard)
            if (c != 'G')
                return false;
        return true;
    }
};

TEST(Fmt, NeverOverrunsTheTarget)
{
    const double values[] = {1e300, -DBL_MAX, kNaN, -kInf, DBL_TRUE_MIN, 123.456};
    const char *formats[] = {"%f", "%f[p99]", "%f[e9p99]", "%f[w999]", "%f[p0w10]",
                             " %f[e2w10] ppm O2", "%f[p99w999]"};
    for (double v : values) {
        for (const char *f : formats) {
            Guarded<1> g1;
            Fmt(g1.target, RuntimeFormat(f), v);
            EXPECT_EQ(g1.target[0], '\0');
            EXPECT_TRUE(g1.guardIntact());
            Guarded<8> g8;
            EXPECT_EQ(Fmt(g8.target, RuntimeFormat(f), v), 1);
            EXPECT_LE(std::strlen(g8.target), 7u);
            EXPECT_TRUE(g8.guardIntact()) << f << " of " << v;
            Guarded<32> g32;
            Fmt(g32.target, RuntimeFormat(f), v);
            EXPECT_LE(std::strlen(g32.target), 31u);
            EXPECT_TRUE(g32.guardIntact()) << f << " of " << v;
        }
    }
    const std::string longText(10000, 'x');
    Guarded<24> g;
    EXPECT_EQ(Fmt(g.target, "* %s  *", longText.c_str()), 1);
    EXPECT_EQ(std::string(g.target), "* " + std::string(21, 'x'));
    EXPECT_TRUE(g.guardIntact());
    Guarded<5> gi;
    Fmt(gi.target, RuntimeFormat("%d[w999]"), INT_MIN);
    EXPECT_STREQ(gi.target, "    ");
    EXPECT_TRUE(gi.guardIntact());
}

// A text argument that lies in the target (all of it or a part) is read as
// it was before the call, wherever its conversion stands in the format.  The
// bytes after the target's text are not zeros, as in a reused buffer, so a
// text read after output overwrote its end would run on.
TEST(Fmt, TheTargetMayBeAnArgument)
{
    char t[8];
    const auto fill = [&t](const char *text) {
        std::memset(t, 'z', sizeof t);
        std::memcpy(t, text, std::strlen(text) + 1);
    };
    fill("ab");
    Fmt(t, "%s.new", t);
    EXPECT_STREQ(t, "ab.new");
    fill("a");
    Fmt(t, "xx%s", t);
    EXPECT_STREQ(t, "xxa");
    fill("abc");
    Fmt(t, "x%s", t);
    EXPECT_STREQ(t, "xabc");
    fill("abc");
    Fmt(t, "%s%s", t, t);
    EXPECT_STREQ(t, "abcabc");
    fill("abcdef");
    Fmt(t, "%s.new", t);
    EXPECT_STREQ(t, "abcdef.") << "cut at the target's end";

    char u[16] = "hello world";
    Fmt(u, "%s %s", u + 6, u);
    EXPECT_STREQ(u, "world hello wor");
    char v[16] = "hello world";
    Fmt(v, "<%s|%s>", v + 6, v + 2);
    EXPECT_STREQ(v, "<world|llo worl");
}

TEST(Fmt, CutsExactlyAtCapacity)
{
    char buf[6];
    Fmt(buf, "12345");
    EXPECT_STREQ(buf, "12345");
    Fmt(buf, RuntimeFormat("123456"));  // as a literal, the compiler refuses it
    EXPECT_STREQ(buf, "12345");
    Fmt(buf, "%d", 1234567);
    EXPECT_STREQ(buf, "12345");
}

// ------------------------------------------------------------ wrong formats

// The compiler refuses these as literals; made at run time, they are found
// when they are used.
#ifndef NDEBUG
TEST(FmtDeathTest, WrongFormatsAbortNamingTheFormat)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char buf[32];
    double d = 0;
    int i = 0;
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%x"), 1), "unknown conversion.*\"%x\"");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("value %")), "lone '%'.*\"value %\"");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[q2]"), 1.0), "modifier.*%f\\[q2\\]");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[p]"), 1.0), "without a number");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[p100]"), 1.0), "precision");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[e0]"), 1.0), "exponent digits");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[rp3]"), 1.0), "own digits.*%f\\[rp3\\]");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[e2r]"), 1.0), "own digits");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%d[r]"), 1), "modifier for %d");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[w1000]"), 1.0), "too large");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%d[p2]"), 1), "modifier for %d");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f[p1"), 1.0), "not closed");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%d"), 1.5), "wrong kind.*\"%d\"");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%f"), 1), "wrong kind");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%s"), 1), "wrong kind");
    EXPECT_DEATH(Fmt(buf, RuntimeFormat("%d %d"), 1), "too few arguments.*\"%d %d\"");
    EXPECT_DEATH(Scan("1", RuntimeFormat("%d"), d), "wrong kind");
    EXPECT_DEATH(Scan("1 2", RuntimeFormat("%d %d"), i), "too few targets");
    // Checked even when the input has already failed.
    EXPECT_DEATH(Scan("x", RuntimeFormat("%d %f"), i, i), "wrong kind");
    EXPECT_DEATH(Scan("1", RuntimeFormat("%y")), "unknown conversion");
}
#else
TEST(Fmt, WrongFormatsStopConverting)
{
    char buf[32];
    double d = 0;
    int i = 0;
    EXPECT_EQ(Fmt(buf, RuntimeFormat("a%d b%x c"), 1, 2), 1);
    EXPECT_STREQ(buf, "a1 b");
    EXPECT_EQ(Fmt(buf, RuntimeFormat("%f %d"), 1.0, 2.0), 1);
    EXPECT_EQ(Fmt(buf, RuntimeFormat("%d %d"), 1), 1);
    EXPECT_EQ(Fmt(buf, RuntimeFormat("%f[p100]"), 1.0), 0);
    EXPECT_EQ(Fmt(buf, RuntimeFormat("%f[rp3]"), 1.0), 0);
    EXPECT_EQ(Fmt(buf, RuntimeFormat("%")), 0);
    EXPECT_EQ(Scan("1 2", RuntimeFormat("%d %f"), i, i), 1);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(Scan("1", RuntimeFormat("%d"), d), 0);
}
#endif

// ------------------------------------------------------------ reading

TEST(Scan, Numbers)
{
    struct Row {
        const char *text;
        int filled;
        double value;
    };
    const Row rows[] = {
        {"3.5", 1, 3.5},         {"  \t\n 3.5", 1, 3.5}, {"+1.5e3", 1, 1500.0},
        {"-1.5E-3", 1, -0.0015}, {".5", 1, 0.5},         {"5.", 1, 5.0},
        {"1e", 1, 1.0},          {"1e+", 1, 1.0},        {"-", 0, 0},
        {"+", 0, 0},             {"+-1", 0, 0},          {"++1", 0, 0},
        {".", 0, 0},             {"", 0, 0},             {"   ", 0, 0},
        {"abc", 0, 0},           {"inf", 1, kInf},       {"-Infinity", 1, -kInf},
        {"+inf", 1, kInf},       {"0x1p3", 1, 0.0},      {"1,5", 1, 1.0},
        {"12.3\t", 1, 12.3},     {"2.091000e+05 ", 1, 209100.0},
        {"1e400", 0, 0},         {"-1e400", 0, 0},       {"1e-400", 0, 0},
        {"-1e-400", 0, 0},
    };
    for (const Row &r : rows) {
        double v = -999;
        EXPECT_EQ(Scan(r.text, "%f", v), r.filled) << "[" << r.text << "]";
        if (r.filled)
            EXPECT_EQ(v, r.value) << "[" << r.text << "]";
        else
            EXPECT_EQ(v, -999) << "target left alone for [" << r.text << "]";
    }
    double v = 0;
    EXPECT_EQ(Scan("nan", "%f", v), 1);
    EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(Scan("NaN(123)", "%f", v), 1);
    EXPECT_TRUE(std::isnan(v));
}

// The reader as it stands on std::from_chars: an optional '+' (not before a
// '-'), then what from_chars takes; what is filled, and the byte after the
// number, so that a reading that stops elsewhere shows.
struct Reading {
    int filled;
    std::uint64_t bits;
    int next;
};

Reading fromCharsReading(const std::string &text)
{
    const char *p = text.data(), *e = p + text.size();
    const bool plus = p < e && *p == '+';
    p += plus;
    double v = 0;
    std::from_chars_result r{p, std::errc::invalid_argument};
    if (!(plus && p < e && *p == '-'))
        r = std::from_chars(p, e, v, std::chars_format::general);
    if (r.ec != std::errc())
        return {0, 0, -1};
    return {1, std::bit_cast<std::uint64_t>(v), r.ptr < e ? static_cast<unsigned char>(*r.ptr) : -1};
}

Reading scanReading(const std::string &text)
{
    double v = 0;
    int next = -1;
    const int filled = Scan(text.c_str(), "%f%c", v, next);
    return {std::min(filled, 1), filled > 0 ? std::bit_cast<std::uint64_t>(v) : 0, filled == 2 ? next : -1};
}

void expectSameReading(const std::string &text)
{
    const Reading want = fromCharsReading(text), got = scanReading(text);
    EXPECT_EQ(got.filled, want.filled) << "[" << text << "]";
    EXPECT_EQ(got.bits, want.bits) << "[" << text << "]";
    EXPECT_EQ(got.next, want.next) << "[" << text << "]";
}

// The texts at the edges of the short way to a double (19 digits, 2^53,
// ten to the 22nd either way) and past them read as from_chars reads them,
// to the bit and to the byte where the number ends.
TEST(Scan, NumbersReadBitForBitAsFromChars)
{
    const char *edges[] = {
        "1000012.0", "1.684100e+05", "-1.684100E-05", "+2.5e3x", "0", "-0", "+0", "-0.0e5", "-0e-400",
        "9007199254740992", "9007199254740993", "-9007199254740993.0", "9007199254740993e-1", "9007199254740995e3",
        "1234567890123456789", "12345678901234567890", "1234567890123456789e-22", "00000000000000000001.5",
        "0.0000000000000000000001", "1e22", "1e23", "1e-22", "1e-23", "3e-23", "4.5e022", "4.5e0022", "1e999",
        "0.1", "0.3", "-.5", "-.", ".e1", "5.", "5.e3", "5e", "5e+", "5e-x", "5E+7.5", "1.2.3", "0x10", "4.9e-324",
        "2.2250738585072014e-308", "1.7976931348623157e308", "1.7976931348623159e308", "inf", "-INF", "+infinity",
        "nan", "-nan(42)", "+-1", "--1", "- 1", "1 2", "12.0\t1.684100e+05",
    };
    for (const char *text : edges)
        expectSameReading(text);
}

TEST(Scan, RandomDecimalTextsReadBitForBitAsFromChars)
{
    std::mt19937_64 random(20261211);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto digits = [&](int n) {
        std::string d;
        for (int k = 0; k < n; ++k)
            d += static_cast<char>('0' + (pick(4) == 0 ? 9 : pick(10)));
        return d;
    };
    const char *signs[] = {"", "", "-", "+", "+-"};
    const char *after[] = {"", "", " ", "x", ".", "e", "E-", "7"};
    for (int i = 0; i < 200000; ++i) {
        std::string text = signs[pick(5)] + digits(pick(4) == 0 ? pick(24) : pick(10));
        if (pick(3) != 0)
            text += "." + digits(pick(4) == 0 ? pick(24) : pick(8));
        if (pick(2) == 0)
            text += std::string(pick(2) ? "e" : "E") + signs[pick(3)] + digits(pick(5));
        text += after[pick(8)];
        expectSameReading(text);
        // And the texts doubles are written as, all 17 digits and fewer.
        const double v = std::bit_cast<double>(random());
        char written[64];
        std::snprintf(written, sizeof written, "%.*e", pick(18), v);
        expectSameReading(written);
        std::snprintf(written, sizeof written, "%.*f", pick(8), std::ldexp(static_cast<double>(random() >> 11), -pick(60)));
        expectSameReading(written);
        if (HasFailure())
            return;
    }
}

TEST(Scan, Integers)
{
    struct Row {
        const char *text;
        int filled;
        int value;
    };
    const Row rows[] = {
        {"42", 1, 42},        {"-7", 1, -7},          {"+7", 1, 7},
        {" 007", 1, 7},       {"2147483647", 1, INT_MAX}, {"-2147483648", 1, INT_MIN},
        {"2147483648", 0, 0}, {"-2147483649", 0, 0},  {"99999999999999999999", 0, 0},
        {"12.5", 1, 12},      {"+-3", 0, 0},          {"x1", 0, 0},
        {"-", 0, 0},
    };
    for (const Row &r : rows) {
        int v = -999;
        EXPECT_EQ(Scan(r.text, "%d", v), r.filled) << "[" << r.text << "]";
        EXPECT_EQ(v, r.filled ? r.value : -999) << "[" << r.text << "]";
    }
    int i = 0;
    double d = 0;
    EXPECT_EQ(Scan("12.5", "%d%f", i, d), 2);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(d, 0.5);
    // Overflow stops the scan.
    int a = 0, b = 0;
    EXPECT_EQ(Scan("1 99999999999 3", "%d %d %d", a, b, i), 1);
}

TEST(Scan, SettingsLine)
{
    constexpr const char *format = "%s>%d%f%d%d%d%f%f";
    int port = 0, autoscale = 0, mode = 0, logScale = 0;
    double interval = 0, yMin = 0, yMax = 0;
    EXPECT_EQ(Scan(" 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n", format, port, interval,
                   autoscale, mode, logScale, yMin, yMax),
              7);
    EXPECT_EQ(port, 1);
    EXPECT_EQ(interval, 1.0);
    EXPECT_EQ(autoscale, 1);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(logScale, 0);
    EXPECT_EQ(yMin, 0.0);
    EXPECT_EQ(yMax, 10.0);
    // No tag; other text after the seventh value; CRLF line end.
    EXPECT_EQ(Scan(" 3 2.5 0 2 1 0.1 500", format, port, interval, autoscale, mode, logScale,
                   yMin, yMax),
              7);
    EXPECT_EQ(port, 3);
    EXPECT_EQ(yMax, 500.0);
    EXPECT_EQ(Scan(" 3 2.5 0 2 1 0.1 500 whatever 1 2 3", format, port, interval, autoscale,
                   mode, logScale, yMin, yMax),
              7);
    EXPECT_EQ(Scan(" 3 2.5 0 2 1 0.1 500  Kv_2014\r\n", format, port, interval, autoscale, mode,
                   logScale, yMin, yMax),
              7);
    // Six values and junk.
    EXPECT_EQ(Scan(" 4 2.5 0 2 1 0.1 junk  Kv_2014\n", format, port, interval, autoscale, mode,
                   logScale, yMin, yMax),
              6);
    EXPECT_EQ(port, 4);
    EXPECT_EQ(yMin, 0.1);
    // Out of range values load as they are.
    EXPECT_EQ(Scan(" 1 0.000000 1 5 0 0.000000 10.000000  Kv_2014\n", format, port, interval,
                   autoscale, mode, logScale, yMin, yMax),
              7);
    EXPECT_EQ(mode, 5);
    EXPECT_EQ(interval, 0.0);
    // A NUL byte ends a text.
    const char withNul[] = " 1 1.0 1\0 1 0 0.0 10.0";
    EXPECT_EQ(Scan(withNul, format, port, interval, autoscale, mode, logScale, yMin, yMax), 3);
    // Empty and missing sources.
    EXPECT_EQ(Scan("", format, port, interval, autoscale, mode, logScale, yMin, yMax), 0);
    EXPECT_EQ(Scan(nullptr, format, port, interval, autoscale, mode, logScale, yMin, yMax), 0);
    // The settings line as Fmt writes it reads back.
    char line[128];
    Fmt(line, " %d %f %d %d %d %f %f  Kv_2014\n", 7, 0.25, 0, 3, 1, -5.5, 1e6);
    EXPECT_EQ(Scan(line, format, port, interval, autoscale, mode, logScale, yMin, yMax), 7);
    EXPECT_EQ(port, 7);
    EXPECT_EQ(interval, 0.25);
    EXPECT_EQ(mode, 3);
    EXPECT_EQ(yMin, -5.5);
    EXPECT_EQ(yMax, 1e6);
}

TEST(Scan, ReplyValue)
{
    // The value from the reply's third character on.
    const char reply[] = "M2  209.1";
    double reading = 7;
    EXPECT_EQ(Scan(reply + 2, "%f", reading), 1);
    EXPECT_EQ(reading, 209.1);
    EXPECT_EQ(Scan("", "%f", reading), 0);
    EXPECT_EQ(reading, 209.1) << "kept when there is no number";
}

TEST(Scan, WordsCharsAndLiterals)
{
    char a[4], b[8];
    EXPECT_EQ(Scan("hello  world", "%s%s", a, b), 2);
    EXPECT_STREQ(a, "hel") << "a word is cut to the target";
    EXPECT_STREQ(b, "world");
    char one[1] = {'x'};
    EXPECT_EQ(Scan("word", RuntimeFormat("%s"), one), 1)
        << "as a literal, the compiler refuses a target that holds no byte";
    EXPECT_STREQ(one, "");
    EXPECT_EQ(Scan("   ", "%s", b), 0);
    const std::string huge(100000, 'w');
    char w[16];
    int after = 0;
    EXPECT_EQ(Scan((huge + " 5").c_str(), "%s %d", w, after), 2);
    EXPECT_EQ(std::string(w), std::string(15, 'w'));
    EXPECT_EQ(after, 5);

    int c1 = 0, c2 = 0;
    EXPECT_EQ(Scan("x y", "%c%c", c1, c2), 2);
    EXPECT_EQ(c1, 'x');
    EXPECT_EQ(c2, ' ') << "%c skips no white space";
    EXPECT_EQ(Scan("", "%c", c1), 0);

    int v = 0;
    EXPECT_EQ(Scan("a=5", "a=%d", v), 1);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(Scan("b=6", "a=%d", v), 0);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(Scan("50%", "%d%%", v), 1);
    EXPECT_EQ(Scan("1\n\t 2", "%d %d", v, c1), 2);
    EXPECT_EQ(c1, 2);
    EXPECT_EQ(Scan("1,2", "%d,%d", v, c1), 2);
    EXPECT_EQ(Scan("1 ,2", "%d,%d", v, c1), 1);
    EXPECT_EQ(Scan("1 ,2", "%d ,%d", v, c1), 2);
    double t = 0, y = 0;
    EXPECT_EQ(Scan(" 12.3\t2.091000e+05 \n", "%f %f", t, y), 2);
    EXPECT_EQ(t, 12.3);
    EXPECT_EQ(y, 209100.0);
    EXPECT_EQ(Scan("12.3", "%f %f", t, y), 1);
    EXPECT_EQ(Scan("%s>7", "%s>%d", v), 0) << "the marker is not matched against the text";
    EXPECT_EQ(Scan("7", "%s>%d", v), 1);
    EXPECT_EQ(Scan("7", "%f[p3w10]", t), 1) << "modifiers are accepted and ignored";
    EXPECT_EQ(t, 7.0);
}

TEST(Scan, RoundTripsEveryDouble)
{
    for (double v : awkwardValues()) {
        char text[64];
        Fmt(text, "%f[e2p16]", v);
        double back = 0;
        ASSERT_EQ(Scan(text, "%f", back), 1) << text;
        if (std::isnan(v))
            EXPECT_TRUE(std::isnan(back));
        else
            ASSERT_EQ(back, v) << text;
    }
}

// ------------------------------------------------------------ locale

std::string g_builtLocaleDir;  // a locale built for the test, removed after it

// Makes a numeric locale with a decimal comma the C and C++ global locale:
// a German one the system has, or (POSIX only) one built with localedef into
// a temporary directory when the system has none.  Returns its name, or "" if
// none.
std::string germanLocale()
{
#ifdef _WIN32
    // Windows' C runtime knows every language the system does, by its
    // language_country.codepage name or (newer runtimes) its locale name.
    const char *names[] = {"German_Germany.1252", "de-DE", "German"};
#else
    const char *names[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_DE@euro",
                           "de_AT.UTF-8", "de_CH.UTF-8", "fr_FR.UTF-8", "nl_NL.UTF-8"};
#endif
    auto tryName = [](const char *n) {
        if (!std::setlocale(LC_ALL, n))
            return false;
        if (std::strcmp(std::localeconv()->decimal_point, ",") == 0)
            return true;
        std::setlocale(LC_ALL, "C");
        return false;
    };
    for (const char *n : names)
        if (tryName(n))
            return n;
#ifdef _WIN32
    return "";
#else
    if (std::system("command -v localedef >/dev/null 2>&1") != 0 ||
        access("/usr/share/i18n/locales/de_DE", R_OK) != 0)
        return "";
    char tmpl[] = "/tmp/rte-locale-XXXXXX";
    if (!mkdtemp(tmpl))
        return "";
    g_builtLocaleDir = tmpl;
    const std::string cmd = "localedef -i de_DE -f UTF-8 " + g_builtLocaleDir +
                            "/de_DE.UTF-8 >/dev/null 2>&1";
    (void)std::system(cmd.c_str());  // warnings give a non-zero status
    setenv("LOCPATH", g_builtLocaleDir.c_str(), 1);
    if (tryName("de_DE.UTF-8"))
        return "de_DE.UTF-8";
    return "";
#endif
}

TEST(Locale, GermanDesktopGivesIdenticalTexts)
{
    const std::string name = germanLocale();
    ASSERT_NE(name, "") << "no locale with a decimal comma: scripts/setup.sh installs the locales "
                           "package, from which the test builds one";
    std::printf("  numeric locale: %s%s\n", name.c_str(),
                g_builtLocaleDir.empty() ? "" : " (built for this test)");
    // The C++ global locale gets German number punctuation too, from a facet
    // built here (std::locale(name) would leak inside glibc when the locale
    // comes from LOCPATH).
    struct GermanPunct : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    std::locale::global(std::locale(std::locale::classic(), new GermanPunct));
    char c[32];
    std::snprintf(c, sizeof c, "%.1f", 12.3);
    EXPECT_STREQ(c, "12,3") << "the German C locale is in force";
    std::ostringstream os;
    os << 1234.5;
    EXPECT_EQ(os.str(), "1.234,5") << "the German C++ locale is in force";

    EXPECT_EQ(fmt(" %f[p1]\t%f[e2] \n", 12.3, 209100.0), " 12.3\t2.091000e+05 \n");
    EXPECT_EQ(fmt(" %d %f %d %d %d %f %f  Kv_2014\n", 1, 1.0, 1, 1, 0, 0.0, 10.0),
              " 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n");
    EXPECT_EQ(fmt(" %f[p2w10] ppm O2", 5.25), "       5.25 ppm O2");
    double t = 0, v = 0;
    EXPECT_EQ(Scan(" 12.3\t2.091000e+05 \n", "%f %f", t, v), 2);
    EXPECT_EQ(t, 12.3);
    EXPECT_EQ(v, 209100.0);
    EXPECT_EQ(Scan("12,3", "%f", t), 1);
    EXPECT_EQ(t, 12.0) << "a decimal comma is not a decimal point";

    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
#ifndef _WIN32
    if (!g_builtLocaleDir.empty()) {
        unsetenv("LOCPATH");
        (void)std::system(("rm -rf '" + g_builtLocaleDir + "'").c_str());
    }
#endif
}

}  // namespace
