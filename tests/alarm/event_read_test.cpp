// Event lines read back: as this program writes them, as other systems and
// editors leave them, and broken; and what the note says of a file.
#include "alarm/event_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(EventLine, RecordedAndBrokenLines)
{
    const double nan = std::nan("");
    // A change's five fields as written, before its texts.
    const std::string kChange = "2026-12-10T17:38:26.132+01:00\t12.0\tchanged\tnan\tnan";
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
        {"a resumed run, as written", "2026-12-10T17:38:26.132+01:00\t0.0\tresumed\t4.213000e+01\tnan",
         kEventLineRead, {0, "resumed", 42.13, nan}},
        {"UTC and blanks for tabs", "2026-12-10T16:00:00Z 0.0 normal 5 10", kEventLineRead, {0, "normal", 5, 10}},
        {"a later program's event", "2026-12-10T16:00:00.000+00:00\t1.0\tpurged\t0\t42", kEventLineRead,
         {1, "purged", 0, 42}},
        {"the wall clock set", "2026-12-10T17:38:26.132+01:00\t30.0\tclock_jump\t-3.600000e+03\t2.000000e+00",
         kEventLineRead, {30, "clock_jump", -3600, 2}},
        {"a change, as written", kChange + "\talice\tinterval\t2.5\t5", kEventLineRead,
         {12, "changed", nan, nan, "alice", "interval", "2.5", "5"}},
        {"a change's escapes undone", kChange + "\tCORP\\\\al ice\tport\ta\\tb\tc\\nd\\r", kEventLineRead,
         {12, "changed", nan, nan, "CORP\\al ice", "port", "a\tb", "c\nd\r"}},
        {"a change to nothing", kChange + "\talice\tport\t7\t", kEventLineRead,
         {12, "changed", nan, nan, "alice", "port", "7", ""}},
        {"a change without its texts", kChange, kEventLineDamaged, {}},
        {"a change with three texts", kChange + "\talice\tinterval\t2.5", kEventLineDamaged, {}},
        {"a change with a fifth text", kChange + "\talice\tinterval\t2.5\t5\t6", kEventLineDamaged, {}},
        {"a change of nothing named", kChange + "\talice\t\t2.5\t5", kEventLineDamaged, {}},
        {"an escape never written", kChange + "\talice\tinterval\t2.5\t\\x5", kEventLineDamaged, {}},
        {"a text ending in half an escape", kChange + "\talice\tinterval\t2.5\t5\\", kEventLineDamaged, {}},
        {"an escaped tab before the fields' end", kChange + "\\t\talice\tinterval\t2.5\t5", kEventLineDamaged,
         {}},
        {"junk between the limit and the texts", kChange + " x\talice\tinterval\t2.5\t5", kEventLineDamaged, {}},
        {"a text longer than its room", kChange + "\t" + std::string(kChangeTextSize, 'a') + "\tinterval\t1\t2",
         kEventLineDamaged, {}},
        {"a change with blanks for tabs", "2026-12-10T16:00:00Z 12.0 changed nan nan alice interval 2.5 5",
         kEventLineDamaged, {}},
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
        {"an alarm's limit that is none", "2026-12-10T17:38:26+01:00\t1.0\tnormal\t1\tnan", kEventLineDamaged, {}},
        {"a resumed run's limit infinite", "2026-12-10T17:38:26+01:00\t0.0\tresumed\t1\tinf", kEventLineDamaged, {}},
        {"a recording line", " 12.0\t1.684100e+05 ", kEventLineDamaged, {}},
        {"binary", std::string("\x89PNG\r\n\x1a\x00\x00", 9), kEventLineDamaged, {}},
        {"a NUL in the middle", std::string("2026-12-10T17:38:26+01:00\t1.0\0\tnormal\t1\t2", 41), kEventLineDamaged,
         {}},
        {"a NUL after five good fields hides junk",
         std::string("2026-12-10T17:38:26+01:00\t1.0\tnormal\t1\t2\0 junk", 46), kEventLineDamaged, {}},
        {"a NUL at the end", std::string("2026-12-10T17:38:26+01:00\t1.0\tnormal\t1\t2\0", 41), kEventLineDamaged,
         {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EventLine e{-7, "untouched", -7, -7};
        ASSERT_EQ(read_event_line(row.line.c_str(), static_cast<int>(row.line.size()), e), row.result);
        if (row.result != kEventLineRead) {
            EXPECT_STREQ(e.event, "untouched") << "nothing written";
            continue;
        }
        EXPECT_EQ(e.elapsed, row.e.elapsed);
        EXPECT_STREQ(e.event, row.e.event);
        EXPECT_TRUE(e.value == row.e.value || (std::isnan(e.value) && std::isnan(row.e.value))) << e.value;
        EXPECT_TRUE(e.limit == row.e.limit || (std::isnan(e.limit) && std::isnan(row.e.limit))) << e.limit;
        EXPECT_STREQ(e.user, row.e.user);
        EXPECT_STREQ(e.what, row.e.what);
        EXPECT_STREQ(e.was, row.e.was);
        EXPECT_STREQ(e.now, row.e.now);
    }
}

// A line longer than the text it was read into, as ReadLine gives it: cut,
// and its length in the file beyond what the text holds.
TEST(EventLine, ALineCutToItsTextIsDamaged)
{
    const char cut[] = "2026-12-10T17:38:26+01:00\t1.0\tnormal\t1\t2";
    EventLine e{-7, "untouched", -7, -7};
    EXPECT_EQ(read_event_line(cut, static_cast<int>(sizeof cut), e), kEventLineDamaged);
    EXPECT_EQ(read_event_line(cut, 1 << 30, e), kEventLineDamaged);
    EXPECT_STREQ(e.event, "untouched");
}

TEST(EventNote, SaysWhatCouldNotBeReadAndWhatWasNot)
{
    const struct {
        const char *what;
        EventCount count;
        const char *note;
    } rows[] = {
        {"all read", {0, 5, 0}, ""},
        {"one damaged", {1, 5, 0}, "1 line of the event file could not be read."},
        {"beyond what an int holds", {3000000000LL, 0, 0}, "3000000000 lines of the event file could not be read."},
        {"every marker drawn", {0, kMostEventsDrawn, 2999001},
         "Only the first 999 events are drawn; the 2999001 lines after them are not read."},
        {"every marker drawn, one line after them", {0, kMostEventsDrawn, 1},
         "Only the first 999 events are drawn; the 1 line after them is not read."},
        {"as many lines read as may be", {kMostEventLinesRead, 0, 19990001},
         "9999 lines of the event file could not be read.\n"
         "Only the first 9999 lines of the event file are read; 19990001 more are not."},
        {"more unread than an int holds", {0, 3, 5000000000LL},
         "Only the first 9999 lines of the event file are read; 5000000000 more are not."},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        char note[kEventNoteSize];
        event_note(row.count, note);
        EXPECT_STREQ(note, row.note);
    }
}

}  // namespace
