// The summary's figures on small recordings whose answers are known, read
// from real files as the program reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "summary/run_summary.h"
#include "summary/summary_text.h"

namespace {

const double kNone = std::nan("");

std::string writeFile(const std::string &name, const std::string &text)
{
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

Summary summaryOf(const std::string &path, double high, double low, double interval = 0)
{
    RunFacts facts{};
    std::snprintf(facts.recording, sizeof facts.recording, "%s", path.c_str());
    facts.quantity = 1;
    facts.interval = interval;
    facts.high = {!std::isnan(high), high, 0, 0, 0, -1};
    facts.low = {!std::isnan(low), low, 0, 0, 0, -1};
    Summary s;
    summarise(facts, s);
    return s;
}

// Lines as the recording writes them: " t\tv \n".
std::string recording(std::initializer_list<std::pair<double, const char *>> lines)
{
    std::string text;
    char line[80];
    for (const auto &[t, v] : lines) {
        std::snprintf(line, sizeof line, " %.1f\t%s \n", t, v);
        text += line;
    }
    return text;
}

struct Expected {
    long long readings, numbers, notNumbers;
    double duration, min, minTime, max, maxTime, mean, deviation;
    long long highExcursions;
    double highTime, highLongest;
    long long lowExcursions;
    double lowTime, lowLongest;
    long long gaps, missing, linesLeft;
};

struct Case {
    const char *name;
    std::string text;
    double high, low;
    Expected e;
};

void expectSame(double expected, double actual, const char *what, const char *name)
{
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(actual)) << name << ": " << what << " " << actual;
    else
        EXPECT_NEAR(expected, actual, 1e-9 * std::max(1.0, std::fabs(expected))) << name << ": " << what;
}

TEST(SummaryFigures, KnownAnswers)
{
    const Case cases[] = {
        {"constant", recording({{0.0, "5.000000e+00"}, {1.0, "5.000000e+00"}, {2.0, "5.000000e+00"}, {3.0, "5.000000e+00"}}),
         10, 1, {4, 4, 0, 3, 5, 0, 5, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // Beyond from the first reading above (2 s) to the first back inside (4 s).
        {"one excursion", recording({{0.0, "1"}, {1.0, "1"}, {2.0, "12"}, {3.0, "15"}, {4.0, "1"}, {5.0, "1"}}),
         10, kNone, {6, 6, 0, 5, 1, 0, 15, 3, 31.0 / 6, std::sqrt((4 * std::pow(31.0 / 6 - 1, 2) + std::pow(12 - 31.0 / 6, 2) + std::pow(15 - 31.0 / 6, 2)) / 5), 1, 2, 2, 0, 0, 0, 0, 0, 0}},
        // One from the start, one to the end, where it lasts to the last reading.
        {"excursions at the ends", recording({{0.0, "12"}, {1.0, "1"}, {2.0, "0.1"}, {3.0, "0.1"}, {4.0, "1"}, {5.0, "12"}, {6.0, "12"}, {7.0, "13"}}),
         10, 0.5, {8, 8, 0, 7, 0.1, 2, 13, 7, 51.2 / 8, kNone, 2, 3, 2, 1, 2, 2, 0, 0, 0}},
        {"known deviation", recording({{0.0, "2"}, {1.0, "4"}, {2.0, "4"}, {3.0, "4"}, {4.0, "5"}, {5.0, "5"}, {6.0, "7"}, {7.0, "9"}}),
         kNone, kNone, {8, 8, 0, 7, 2, 0, 9, 7, 5, std::sqrt(32.0 / 7), 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // Steps of 1 s, then one of 4 s: three cycles left no line.
        {"gap", recording({{0.0, "1"}, {1.0, "1"}, {2.0, "1"}, {6.0, "1"}, {7.0, "1"}, {8.0, "1"}, {9.0, "1"}}),
         kNone, kNone, {7, 7, 0, 9, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 3, 0}},
        // What an older program wrote for no answer: they count, but as no value.
        {"nan and infinity", recording({{0.0, "2"}, {1.0, "nan"}, {2.0, "inf"}, {3.0, "-inf"}, {4.0, "4"}}),
         3, kNone, {5, 2, 3, 4, 2, 0, 4, 4, 3, std::sqrt(2.0), 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"one reading", recording({{0.0, "7.5"}}), 5, kNone, {1, 1, 0, 0, 7.5, 0, 7.5, 0, 7.5, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"empty", "", 5, 1, {0, 0, 0, 0, kNone, kNone, kNone, kNone, kNone, kNone, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // Read up to the line that is not a reading; it and the rest are counted.
        {"damaged", recording({{0.0, "1"}, {1.0, "2"}}) + " 2.0\tgarbage \n 3.0\t1 \n 4.0\t1 \n", kNone, kNone,
         {2, 2, 0, 1, 1, 0, 2, 1, 1.5, std::sqrt(0.5), 0, 0, 0, 0, 0, 0, 0, 0, 3}},
        {"cut after its time", recording({{0.0, "1"}, {1.0, "2"}}) + " 2.0", kNone, kNone,
         {2, 2, 0, 1, 1, 0, 2, 1, 1.5, std::sqrt(0.5), 0, 0, 0, 0, 0, 0, 0, 0, 1}},
    };
    int n = 0;
    for (const Case &c : cases) {
        const Summary s = summaryOf(writeFile("figures" + std::to_string(n++) + ".dat", c.text), c.high, c.low);
        const RunSummary &f = s.figures;
        const Expected &e = c.e;
        EXPECT_EQ(s.end.opened, 1) << c.name;
        EXPECT_EQ(f.readings, e.readings) << c.name;
        EXPECT_EQ(f.numbers, e.numbers) << c.name;
        EXPECT_EQ(f.not_numbers, e.notNumbers) << c.name;
        expectSame(e.duration, duration_of(f), "duration", c.name);
        expectSame(e.min, f.min, "min", c.name);
        expectSame(e.minTime, f.min_time, "min time", c.name);
        expectSame(e.max, f.max, "max", c.name);
        expectSame(e.maxTime, f.max_time, "max time", c.name);
        expectSame(e.mean, f.mean, "mean", c.name);
        if (!std::isnan(e.deviation) || e.readings == 0)
            expectSame(e.deviation, f.deviation, "deviation", c.name);
        EXPECT_EQ(f.high.excursions, e.highExcursions) << c.name;
        expectSame(e.highTime, f.high.time_beyond, "time above", c.name);
        expectSame(e.highLongest, f.high.longest, "longest above", c.name);
        EXPECT_EQ(f.low.excursions, e.lowExcursions) << c.name;
        expectSame(e.lowTime, f.low.time_beyond, "time below", c.name);
        expectSame(e.lowLongest, f.low.longest, "longest below", c.name);
        EXPECT_EQ(f.gaps, e.gaps) << c.name;
        EXPECT_EQ(f.missing, e.missing) << c.name;
        EXPECT_EQ(s.end.lines_left, e.linesLeft) << c.name;
    }
}

// The interval the program knows judges the gaps from the first step on;
// one found from the readings does so once it has enough steps.
TEST(SummaryFigures, GapsByTheIntervalGiven)
{
    const std::string path =
        writeFile("interval.dat", recording({{0.0, "1"}, {10.0, "1"}, {20.0, "1"}, {22.0, "1"}}));
    EXPECT_EQ(summaryOf(path, kNone, kNone, 2).figures.missing, 8);
    EXPECT_EQ(summaryOf(path, kNone, kNone, 2).figures.gaps, 2);
    EXPECT_EQ(summaryOf(path, kNone, kNone, 0).figures.interval, 10) << "the middle step";
}

TEST(SummaryFigures, WordsForTheOperator)
{
    SummaryTexts t;
    Summary s = summaryOf(writeFile("words.dat", recording({{0.0, "1"}, {1.0, "12"}, {2.0, "15"}, {3.0, "1"},
                                                             {4.0, "nan"}, {3604.0, "1"}})),
                          10, kNone, 1);
    summary_texts(s, t);
    EXPECT_STREQ(t.text[kFieldReadings], "6");
    EXPECT_STREQ(t.text[kFieldDuration], "3604.0 s (01:00:04), from 0.0 s to 3604.0 s");
    EXPECT_STREQ(t.text[kFieldMaximum], "15 ppm at 2.0 s");
    EXPECT_STREQ(t.text[kFieldHigh], "10 ppm: 2.0 s above it in 1 excursion, the longest 2.0 s");
    EXPECT_STREQ(t.text[kFieldLow], "off");
    EXPECT_STREQ(t.text[kFieldUnanswered],
                 "1 reading not a number; 3599 cycles missing in 1 gap, the longest 3600.0 s (01:00:00) (interval 1.0 s)");
    EXPECT_STREQ(t.text[kFieldEvents], "no event file");
    EXPECT_STREQ(t.text[kFieldRead], "The whole file.");

    summary_texts(summaryOf(testing::TempDir() + "not-there.dat", 10, kNone), t);
    EXPECT_STREQ(t.text[kFieldRead], "The recording cannot be opened: it is not there.");
    EXPECT_STREQ(t.text[kFieldMinimum], "none");
}

// The events beside the recording, tallied by kind; lines that are no
// event are counted apart.
TEST(SummaryFigures, EventsBesideTheRecording)
{
    const std::string path = writeFile("events.dat", recording({{0.0, "1"}, {1.0, "12"}}));
    writeFile("events.events",
              "2026-12-10T17:38:26.132+01:00\t1.0\talarm_high\t1.200000e+01\t1.000000e+01\n"
              "2026-12-10T17:38:27.132+01:00\t2.0\tacknowledged\t1.200000e+01\t1.000000e+01\n"
              "garbage\n"
              "2026-12-10T17:38:28.132+01:00\t3.0\talarm_high\t1.200000e+01\t1.000000e+01\n"
              // A change whose texts make the line longer than any alarm's.
              "2026-12-10T17:38:29.132+01:00\t4.0\tchanged\tnan\tnan\t" + std::string(200, 'u') +
                  "\tport\t1 " + std::string(100, 'a') + "\t2 " + std::string(100, 'b') + "\n");
    SummaryTexts t;
    summary_texts(summaryOf(path, 10, kNone), t);
    EXPECT_STREQ(t.text[kFieldEvents], "2 alarm_high, 1 acknowledged, 1 changed; 1 line could not be read");
}

}  // namespace
