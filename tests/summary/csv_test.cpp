// The CSV export read back with Python's csv module (an RFC 4180 reader),
// value for value against the recording's own text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "summary/clock_text.h"
#include "summary/csv_export.h"

namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each row as the reader gives it, each number field as the shortest text
// of the double Python reads from it.
std::vector<std::vector<std::string>> readBack(const std::string &csv)
{
    const std::string command =
        "python3 -c \"import csv,sys\n"
        "rows=list(csv.reader(open(sys.argv[1],newline='',encoding='utf-8',errors='strict')))\n"
        "print(','.join(rows[0]))\n"
        "for r in rows[1:]: print(' '.join([repr(float(x)) for x in r[:-1]]+[r[-1]]))\" '" + csv + "'";
    std::vector<std::vector<std::string>> rows;
    FILE *p = popen(command.c_str(), "r");
    char line[512];
    while (p && std::fgets(line, sizeof line, p)) {
        std::istringstream fields(line);
        std::vector<std::string> row;
        for (std::string f; fields >> f;)
            row.push_back(f);
        rows.push_back(row);
    }
    EXPECT_EQ(p ? pclose(p) : -1, 0) << "the reader took the file";
    return rows;
}

// The same double, bit for bit (any NaN is any other).
void expectSameDouble(const std::string &read, const char *recorded)
{
    const double a = std::strtod(read.c_str(), nullptr), b = std::strtod(recorded, nullptr);
    if (std::isnan(b))
        EXPECT_TRUE(std::isnan(a)) << read << " for " << recorded;
    else
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << read << " for " << recorded;
}

TEST(CsvExport, ReadsBackAsTheRecording)
{
    const char *const lines[][2] = {
        {"0.0", "2.091000e+05"}, {"1.0", "4.000000e-07"}, {"2.5", "-0.000000e+00"}, {"3.0", "-1.234568e+03"},
        {"1234567.8", "1.797693e+308"}, {"1234568.9", "nan"}, {"1234569.9", "2.225074e-308"},
    };
    const std::string recording = testing::TempDir() + "export.dat";
    {
        std::ofstream out(recording, std::ios::binary);
        for (const auto &l : lines)
            out << ' ' << l[0] << '\t' << l[1] << " \n";
    }
    RunFacts facts{};
    std::snprintf(facts.recording, sizeof facts.recording, "%s", recording.c_str());
    facts.quantity = 3;
    const std::string csv = testing::TempDir() + "export \"quoted\", named.csv";
    const CsvExport done = export_csv(facts, csv.c_str());
    EXPECT_EQ(done.written, 0);
    EXPECT_EQ(done.rows, 7);
    EXPECT_EQ(done.end.lines_left, 0);

    const std::string text = readAll(csv);
    EXPECT_EQ(text.substr(0, 22), "elapsed_s,value,unit\r\n");
    EXPECT_EQ(text.find('\n', 21), text.find("\r\n", 20) + 1) << "CR LF line ends only";
    EXPECT_NE(text.find(",\xc2\xb0" "C\r\n"), std::string::npos) << "the unit in UTF-8";

    const auto rows = readBack(csv);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0], std::vector<std::string>{"elapsed_s,value,unit"});
    for (std::size_t i = 0; i < 7; ++i) {
        ASSERT_EQ(rows[i + 1].size(), 3u) << i;
        expectSameDouble(rows[i + 1][0], lines[i][0]);
        expectSameDouble(rows[i + 1][1], lines[i][1]);
        EXPECT_EQ(rows[i + 1][2], "\xc2\xb0" "C");
    }
}

// A recording that cannot be read leaves no CSV, and one that is there stays.
TEST(CsvExport, FailureLeavesWhatWasThere)
{
    const std::string csv = testing::TempDir() + "kept.csv";
    std::ofstream(csv, std::ios::binary) << "old";
    RunFacts facts{};
    std::snprintf(facts.recording, sizeof facts.recording, "%s", (testing::TempDir() + "none.dat").c_str());
    EXPECT_EQ(export_csv(facts, csv.c_str()).written, kFileNotFound);
    EXPECT_EQ(readAll(csv), "old");
    EXPECT_NE(export_csv(facts, (testing::TempDir() + "no-such-folder/x.csv").c_str()).written, 0);
}

// Each reading's time is the run's start plus its elapsed seconds, shown
// at the offset the run started with, to the millisecond.
TEST(CsvExport, TimesFromTheRunsStart)
{
    const struct {
        const char *start;
        const char *offset;
        double elapsed;
        const char *time;
    } cases[] = {
        {"2026-12-10T16:25:03.120Z", "+01:00", 0, "2026-12-10T17:25:03.120+01:00"},
        {"2026-12-10T16:25:03.120Z", "+01:00", 12.3, "2026-12-10T17:25:15.420+01:00"},
        {"2024-02-28T23:30:00.000Z", "+05:45", 86400, "2024-03-01T05:15:00.000+05:45"},
        {"2026-01-01T02:00:00.000Z", "-03:30", 0.0004, "2025-12-31T22:30:00.000-03:30"},
        {"1999-12-31T23:59:59.999Z", "+00:00", 0.001, "2000-01-01T00:00:00.000+00:00"},
    };
    for (const auto &c : cases) {
        int offset = 0;
        ASSERT_TRUE(offset_minutes(c.offset, offset)) << c.offset;
        char text[40];
        local_time_text(utc_seconds(c.start) + c.elapsed, offset, text);
        EXPECT_STREQ(text, c.time) << c.start << " + " << c.elapsed;
    }
    EXPECT_TRUE(std::isnan(utc_seconds("2026-12-10 16:25:03")));
    EXPECT_TRUE(std::isnan(utc_seconds("2026-13-10T16:25:03.120Z")));
    int offset = 0;
    EXPECT_FALSE(offset_minutes("01:00", offset));
}

}  // namespace
