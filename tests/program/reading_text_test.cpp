// The reading's display text in every quantity, at the edges where the
// number of digits changes, and for values no analyser should send.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "app/state.h"
#include "link/reading_text.h"

namespace {

struct TextCase {
    int mode;
    double reading;
    const char *text;
};

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

const TextCase cases[] = {
    // Oxygen: scientific below 0.1, then fewer digits as the value grows.
    {1, 0.0999, " 9.9900e-02 ppm O2"},
    {1, 0.1, "      0.100 ppm O2"},
    {1, 0.999, "      0.999 ppm O2"},
    {1, 1.0, "       1.00 ppm O2"},
    {1, 5.25, "       5.25 ppm O2"},
    {1, 10.0, "       10.0 ppm O2"},
    {1, 99.99, "      100.0 ppm O2"},
    {1, 100.0, "        100 ppm O2"},
    {1, 209100.0, "     209100 ppm O2"},
    {1, 0.0, " 0.0000e+00 ppm O2"},
    {1, -0.0, " -0.000e+00 ppm O2"},
    {1, -3.5, " -3.500e+00 ppm O2"},
    {1, nan, "        nan ppm O2"},
    {1, inf, "        inf ppm O2"},
    {1, -inf, "       -inf ppm O2"},
    {1, 1e300, " 1.000e+300 ppm O2"},
    // Voltage and temperature: one digit, sign kept, whatever the size.
    {2, 0.0, "        0.0 mV    "},
    {2, -12.34, "      -12.3 mV    "},
    {2, 123456.7, "   123456.7 mV    "},
    {2, -1e12, " -1.000e+12 mV    "},
    {3, 700.04, "      700.0 \xB0" "C    "},
    {3, -0.0, "       -0.0 \xB0" "C    "},
    // Any other quantity: a fixed text.
    {0, 5.0, " 0.0    "},
    {4, nan, " 0.0    "},
};

TEST(ReadingText, EveryQuantityAndMagnitude)
{
    for (const TextCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " reading " << c.reading);
        settings.mode = c.mode;
        state.reading = c.reading;
        messwert();
        EXPECT_STREQ(state.reading_text, c.text);
        EXPECT_LE(std::strlen(state.reading_text), 31u);
    }
}

TEST(ReadingText, NeverLongerThanTheDisplayHolds)
{
    const double extremes[] = {std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::denorm_min(),
                               -std::numeric_limits<double>::min(), 1e-300, -1e-300, nan,
                               -nan, inf, -inf, 0.09999999999999999, 9.9999999999e9};
    for (int mode = 0; mode <= 4; mode++)
        for (double value : extremes) {
            settings.mode = mode;
            state.reading = value;
            messwert();
            EXPECT_LE(std::strlen(state.reading_text), 18u) << mode << " " << value;
        }
}

}  // namespace
