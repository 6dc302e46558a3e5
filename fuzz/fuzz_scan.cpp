// Scan with the program's formats on fuzzed text, into small targets.
//
// Checks: results within 0..targets; word targets terminated and not
// overrun (guard bytes; ASan watches too); a number that was read prints and
// reads back to the same value; "%f %f" agrees with "%f" then "%f".
#include "fuzz_check.h"
#include "rte/formatio.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool same(double a, double b)
{
    return std::isnan(a) ? std::isnan(b) : a == b;
}

void roundTrip(double v)
{
    char text[64];
    Fmt(text, "%f[e2p16]", v);
    double back = 0;
    FUZZ_CHECK(Scan(text, "%f", back) == 1);
    FUZZ_CHECK(same(back, v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const char *text = input.c_str();  // a NUL in the data ends the text

    double d = -1;
    const int one = Scan(text, "%f", d);
    FUZZ_CHECK(one == 0 || one == 1);
    if (one == 1)
        roundTrip(d);

    int port = 0, autoscale = 0, mode = 0, logScale = 0;
    double interval = 0, yMin = 0, yMax = 0;
    const int seven = Scan(text, "%s>%d%f%d%d%d%f%f", port, interval, autoscale, mode, logScale,
                           yMin, yMax);
    FUZZ_CHECK(seven >= 0 && seven <= 7);

    double t = -1, v = -1;
    const int two = Scan(text, "%f %f", t, v);
    FUZZ_CHECK(two >= 0 && two <= 2);
    FUZZ_CHECK((two >= 1) == (one == 1));
    if (two >= 1)
        FUZZ_CHECK(same(t, d));
    if (two == 2)
        roundTrip(v);

    Guarded<8> word;
    const int w = Scan(text, "%s", word.text);
    FUZZ_CHECK(w == 0 || w == 1);
    word.check(w == 1);
    Guarded<1> tiny;
    // As a literal the compiler refuses it: a char[1] holds no byte of a word.
    const int w1 = Scan(text, RuntimeFormat("%s"), tiny.text);
    FUZZ_CHECK(w1 == w);
    tiny.check(w1 == 1);
    if (w == 1)
        FUZZ_CHECK(tiny.text[0] == '\0');

    // The reading: the reply from its third character on.
    if (std::strlen(text) >= 2) {
        double reading = 0;
        FUZZ_CHECK(Scan(text + 2, "%f", reading) <= 1);
    }
    return 0;
}
