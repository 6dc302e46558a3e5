// Fuzzed doubles and ints through every format the program writes, into
// targets of the program's sizes and smaller ones.
//
// Checks: the text is terminated and never longer than N - 1 (guard bytes
// behind the target; ASan watches too); the reading texts are
// exactly 18 characters; the recording line and the settings line read back,
// and the shortest text of a double reads back as that double.
#include "fuzz_check.h"
#include "rte/formatio.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

template <std::size_t N, typename... Args>
std::size_t fmtInto(const char *format, const Args &...args)
{
    Guarded<N> g;
    Fmt(g.text, RuntimeFormat(format), args...);
    return g.terminatedLength();
}

template <typename... Args>
void everySize(const char *format, const Args &...args)
{
    fmtInto<1>(format, args...);
    fmtInto<2>(format, args...);
    fmtInto<7>(format, args...);
    fmtInto<11>(format, args...);
    fmtInto<32>(format, args...);
}

bool near(double back, double v, double tolerance)
{
    if (std::isnan(v))
        return std::isnan(back);
    if (std::isinf(v))
        return back == v;
    return std::fabs(back - v) <= tolerance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const double v = in.ConsumeFloatingPoint<double>();
    double raw = 0;
    if (in.remaining_bytes() >= sizeof raw) {
        const auto bytes = in.ConsumeBytes<std::uint8_t>(sizeof raw);
        std::memcpy(&raw, bytes.data(), sizeof raw);  // any bit pattern: NaNs, denormals
    }
    const int n = in.ConsumeIntegral<int>();
    const int digits = in.ConsumeIntegralInRange<int>(0, 3);
    const int m = n == INT_MIN ? 0 : -n;

    for (double x : {v, raw}) {
        // The reading text, both stages of messwert.
        const char *readings[] = {" %f[p0w10] ppm O2", " %f[p1w10] ppm O2",
                                  " %f[p2w10] ppm O2", " %f[p3w10] ppm O2",
                                  " %f[e2w10] ppm O2", " %f[p1w10] mV    ",
                                  " %f[p1w10] \260C    ", " 0.0    "};
        for (const char *f : readings) {
            const std::size_t len = fmtInto<32>(f, x);
            FUZZ_CHECK(len == (f[1] == '0' ? 8u : 18u));
            everySize(f, x);
        }
        Guarded<32> stage1;
        Fmt(stage1.text, " %cf[p%dw10] ppm O2", '%', digits);
        FUZZ_CHECK(stage1.terminatedLength() == 17);
        FUZZ_CHECK(fmtInto<32>(stage1.text, x) == 18);

        // The recording line, and its reading back.
        Guarded<400> line;
        Fmt(line.text, " %f[p1]\t%f[e2] \n", x, x);
        line.terminatedLength();
        everySize(" %f[p1]\t%f[e2] \n", x, x);
        double t = 0, y = 0;
        const int got = Scan(line.text, "%f %f", t, y);
        if (std::fabs(x) < 1.79e308 || !std::isfinite(x)) {
            FUZZ_CHECK(got == 2);
            FUZZ_CHECK(near(t, x, 0.05 + std::fabs(x) * 1e-15));
            FUZZ_CHECK(near(y, x, std::fabs(x) * 5e-6));
        }
        for (const char *f : {"%f", "%f[p1]", "%f[e2]", "%f[p0w10]", "%f[e2w10]", "%f[p3w10]", "%f[r]"})
            everySize(f, x);

        // The shortest text, as limits and published values are written:
        // the same bits come back.
        Guarded<40> shortest;
        Fmt(shortest.text, "%f[r]", x);
        FUZZ_CHECK(shortest.terminatedLength() <= 24);
        double back = 0;
        FUZZ_CHECK(Scan(shortest.text, "%f", back) == 1);
        FUZZ_CHECK(std::isnan(x) ? std::isnan(back) : std::memcmp(&back, &x, sizeof x) == 0);
    }

    // The settings line, and its reading back.
    Guarded<1100> line;
    Fmt(line.text, " %d %f %d %d %d %f %f  Kv_2014\n", n, v, n, digits, m, raw, v);
    line.terminatedLength();
    everySize(" %d %f %d %d %d %f %f  Kv_2014\n", n, v, n, digits, m, raw, v);
    int a = 0, b = 0, c = 0, e = 0;
    double d1 = 0, d2 = 0, d3 = 0;
    const int got = Scan(line.text, "%s>%d%f%d%d%d%f%f", a, d1, b, c, e, d2, d3);
    // Plain %f is exact before the point: every double reads back.
    FUZZ_CHECK(got == 7);
    FUZZ_CHECK(a == n && b == n && c == digits && e == m);
    FUZZ_CHECK(near(d1, v, 5e-7 + std::fabs(v) * 1e-15));
    FUZZ_CHECK(near(d2, raw, 5e-7 + std::fabs(raw) * 1e-15));
    FUZZ_CHECK(near(d3, v, 5e-7 + std::fabs(v) * 1e-15));

    // Texts of the program: the reply in stars, "NO CONNECTION".
    const std::string reply = in.ConsumeRandomLengthString(64);
    everySize("* %s  *", reply.c_str());
    FUZZ_CHECK(fmtInto<32>("* %s  *", reply.c_str()) <= 31);
    everySize("%d", n);
    everySize("%d[w10]", n);
    everySize("M2%c", 13);
    return 0;
}
