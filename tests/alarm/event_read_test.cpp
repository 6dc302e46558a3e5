// Event lines read back: as this program writes them, as other systems and
// editors leave them, and broken.
#include "alarm/event_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(EventLine, RecordedAndBrokenLines)
{
    const double nan = std::nan("");
    const struct {
        const char *what;
        std::string line;
        int result;
        EventLine e;
    } rows[] = {
        {"as written", "2026-12-10T17:38:26.132+01:00\t12.0\talarm_high\t1.684100e+05\t1.000000e+03",
         kEventLineRead, {12.0, "alarm_high", 1.6841e5, 1e3}},
        {"no reading", "2026-12-10T17:38:29.001-05:00\t15.0\tno_answer\tnan\t3.000000e+00", kEventLineRead,
         {15.0, "no_answer", nan, 3}},
        {"UTC and blanks for tabs", "2026-12-10T16:00:00Z 0.0 normal 5 10", kEventLineRead, {0, "normal", 5, 10}},
        {"a later program's event", "2026-12-10T16:00:00.000+00:00\t1.0\tresumed\t0\t42", kEventLineRead,
         {1, "resumed", 0, 42}},
        {"blank", "", kEventLineBlank, {}},
        {"blanks and tabs", " \t ", kEventLineBlank, {}},
        {"cut after the event", "2026-12-10T17:38:26.132+01:00\t12.0\talarm_high", kEventLineDamaged, {}},
        {"cut in the value", "2026-12-10T17:38:26.132+01:00\t12.0\talarm_high\t1.68", kEventLineDamaged, {}},
        {"a sixth field", "2026-12-10T17:38:26.132+01:00\t12.0\tnormal\t1\t2\t3", kEventLineDamaged, {}},
        {"a number's tail", "2026-12-10T17:38:26.132+01:00\t12.0\tnormal\t1\t2x", kEventLineDamaged, {}},
        {"no time", "12.0\talarm_high\t1\t2\t3", kEventLineDamaged, {}},
        {"a time of another shape", "10.12.2026 17:38\t12.0\talarm_high\t1\t2", kEventLineDamaged, {}},
        {"elapsed not a number", "2026-12-10T17:38:26+01:00\tsoon\talarm_high\t1\t2", kEventLineDamaged, {}},
        {"elapsed below 0", "2026-12-10T17:38:26+01:00\t-1.0\talarm_high\t1\t2", kEventLineDamaged, {}},
        {"elapsed infinite", "2026-12-10T17:38:26+01:00\tinf\talarm_high\t1\t2", kEventLineDamaged, {}},
        {"an event word with capitals", "2026-12-10T17:38:26+01:00\t1.0\tALARM\t1\t2", kEventLineDamaged, {}},
        {"a limit that is none", "2026-12-10T17:38:26+01:00\t1.0\tnormal\t1\tnan", kEventLineDamaged, {}},
        {"a recording line", " 12.0\t1.684100e+05 ", kEventLineDamaged, {}},
        {"binary", std::string("\x89PNG\r\n\x1a\x00\x00", 9), kEventLineDamaged, {}},
        {"a NUL in the middle", std::string("2026-12-10T17:38:26+01:00\t1.0\0\tnormal\t1\t2", 41), kEventLineDamaged,
         {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EventLine e{-7, "untouched", -7, -7};
        ASSERT_EQ(read_event_line(row.line.c_str(), e), row.result);
        if (row.result != kEventLineRead) {
            EXPECT_STREQ(e.event, "untouched") << "nothing written";
            continue;
        }
        EXPECT_EQ(e.elapsed, row.e.elapsed);
        EXPECT_STREQ(e.event, row.e.event);
        EXPECT_TRUE(e.value == row.e.value || (std::isnan(e.value) && std::isnan(row.e.value))) << e.value;
        EXPECT_EQ(e.limit, row.e.limit);
    }
}

}  // namespace
