// ScanFileSkip against the reads it stands for: the same file read on two
// handles, one passing over records with ScanFileSkip, the other making each
// ScanFile call, must give the same results, the same targets and the same
// position, on recordings and on files that are anything but.
#include "rte/format/files_internal.h"
#include "rte/formatio.h"
#include "tests/format/thinning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class Skip : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("rte-skip-") + info->name() + "-" +
                                            std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        rte::fmt::detail::setReadBufferSize(0);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string write(const std::string &bytes)
    {
        const std::string path = (dir_ / "file.dat").string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }

    fs::path dir_;
};

// A file opened for reading, closed however the test leaves.
struct Reader {
    int h;
    explicit Reader(const std::string &path) : h(OpenFile(path.c_str(), kOpenRead, kOpenKeep, kOpenText))
    {
        EXPECT_GT(h, 0) << path;
    }
    ~Reader() { CloseFile(h); }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;
};

bool same(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

using thinning::Read;
using thinning::View;

View view(const std::string &path, long long step, bool skip)
{
    const Reader file(path);
    return thinning::view(file.h, step, skip);
}

void expectSameView(const std::string &path, long long step)
{
    const View exact = view(path, step, false);
    const View fast = view(path, step, true);
    ASSERT_EQ(fast.points.size(), exact.points.size()) << "step " << step;
    for (std::size_t i = 0; i < exact.points.size(); ++i)
        ASSERT_EQ(fast.points[i], exact.points[i]) << "step " << step << " point " << i;
    EXPECT_EQ(fast.count, exact.count) << "step " << step;
    EXPECT_EQ(fast.logAllowed, exact.logAllowed) << "step " << step;
}

// Passes over records in bursts of the given lengths on one handle and makes
// every read on another; after each burst both must agree on the result,
// the targets and the next byte, which is then read on both (so the next
// burst starts inside whatever the file holds there, a number included).
// With `toTheEnd` the bursts are repeated until the file is read.
void expectSameBursts(const std::string &path, const std::vector<long long> &bursts,
                      bool toTheEnd = false)
{
    const Reader fast(path), exact(path);
    for (std::size_t b = 0;; ++b) {
        if (b == bursts.size()) {
            if (!toTheEnd)
                return;
            b = 0;
        }
        Read f{-9, -1.0, -2.0}, e{-9, -1.0, -2.0};
        f.result = ScanFileSkip(fast.h, bursts[b], "%f %f", f.t, f.v);
        e.result = 0;
        for (long long k = 0; k < bursts[b]; ++k)
            e.result = ScanFile(exact.h, "%f %f", e.t, e.v);
        ASSERT_EQ(f, e) << "burst " << b << " of " << bursts[b];
        int fc = -1, ec = -1;
        const int got = ScanFile(exact.h, "%c", ec);
        ASSERT_EQ(ScanFile(fast.h, "%c", fc), got) << "burst " << b;
        ASSERT_EQ(fc, ec) << "burst " << b;
        if (got == 0)
            return;  // the end of the file
    }
}

// A recording as the program writes it, with times that gain digits and
// values of both signs over many decades, zeros and exponents of three
// digits among them.
std::string recording(std::size_t lines, const char *lineEnd, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string out;
    double time = 9990.0;
    char line[64];
    for (std::size_t n = 0; n < lines; ++n) {
        const double mantissa = 1.0 + (rng() % 9000) / 1000.0;
        double value = mantissa * std::pow(10.0, static_cast<int>(rng() % 25) - 12);
        if (rng() % 7 == 0)
            value = -value;
        if (rng() % 50 == 0)
            value = 0;
        if (rng() % 200 == 0)
            value *= 1e100;
        Fmt(line, " %f[p1]\t%f[e2] ", time, value);
        out += line;
        out += lineEnd;
        time += 0.5 + (rng() % 30) / 10.0;
    }
    return out;
}

// What files hold that is not a plain pair of numbers: numbers that are no
// plain number or no double at all, numbers one after another without white
// space, text, control bytes, odd line ends and white space, lines with one
// or three numbers.
const char *const kHostile[] = {
    "nan", "-inf", "infinity", "nan(12)", "1e400", "-1e400", "1e-400", "2.5e-320",
    "123456789012345678901234567890", "0.00000000000000000000000000000000000001",
    "12345678901234567890.5", "1234567890123456789.5", "1.0e+100", "1E5", "+1.5", "+-1",
    "--1", "5.", ".5", "-.5", "1e", "1e+", "1e+-5", "1.2.3", "1e5e5", "0x10", "1,5", "1.5-2.5",
    "1.5+2.5", "abc", "\xb0", "\xff\xfe", "\r", "\r\r\n",
    "\v\f", "\t\t", "7\n", "1 2 3\n", "e5", "-", "+", ".",
};

std::string hostile(std::mt19937 &rng)
{
    const std::size_t k = rng() % (std::size(kHostile) + 2);
    if (k == std::size(kHostile))
        return std::string(1, '\0');
    if (k == std::size(kHostile) + 1)
        return std::string(40 + rng() % 100, ' ');  // more white space than a record may hold
    return kHostile[k];
}

// A recording with hostile bytes put in: at random places, inside numbers
// too, or as the value of a line of their own.
std::string spoilt(std::string text, std::size_t spoils, unsigned seed)
{
    std::mt19937 rng(seed);
    for (std::size_t n = 0; n < spoils; ++n) {
        std::size_t at = rng() % (text.size() + 1);
        if (rng() % 2 == 0) {
            text.insert(at, hostile(rng));
            continue;
        }
        at = text.find('\n', at);
        // A time of the recording's own shape, so that only the value differs.
        text.insert(at == std::string::npos ? text.size() : at + 1, " 12345.5\t" + hostile(rng) + " \n");
    }
    return text;
}

TEST_F(Skip, ThinningARecordingDrawsWhatEveryReadWouldHaveDrawn)
{
    for (const char *lineEnd : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(testing::Message() << "line end " << static_cast<int>(lineEnd[0]));
        const std::string text = recording(3000, lineEnd, 5);
        const std::string path = write(text);
        for (long long step : {1, 2, 3, 7, 64, 1000, 2999, 3000, 3001, 100000})
            expectSameView(path, step);
        // As the viewer thins this file: every fourth line.
        expectSameView(path, 1 + static_cast<long long>(text.size()) / 20000);
        // Cut short inside its last line, without a line end.
        for (std::size_t cut : {1u, 2u, 5u, 12u, 20u})
            expectSameView(write(text.substr(0, text.size() - cut)), 3);
    }
}

TEST_F(Skip, FilesThatAreNotRecordingsReadAsEveryReadWouldReadThem)
{
    const std::string base = recording(2000, "\n", 9);
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const std::string path = write(spoilt(base, seed % 10, seed));
        std::mt19937 rng(seed);
        std::vector<long long> bursts;
        for (int n = 0; n < 60; ++n)
            bursts.push_back(rng() % 3 == 0 ? rng() % 4 : rng() % 200);
        expectSameBursts(path, bursts);
        for (long long step : {2, 5, 33})
            expectSameView(path, step);
    }
}

// Files of junk: bytes drawn from what numbers, white space and line ends
// are made of, with some of anything, in lines from empty to longer than the
// read buffer (one of `longLine` bytes and more).
std::string junk(std::size_t lines, std::size_t longLine, unsigned seed)
{
    static const char kAlphabet[] = "0123456789012345678901234567890123456789+-.eE \t\t\r\n\n\v\fxa";
    std::mt19937 rng(seed);
    std::string out;
    for (std::size_t n = 0; n < lines; ++n) {
        const std::size_t length = rng() % 50 == 0 ? longLine + rng() % 4096 : rng() % 80;
        for (std::size_t k = 0; k < length; ++k)
            out += rng() % 64 == 0 ? static_cast<char>(rng()) : kAlphabet[rng() % (sizeof kAlphabet - 1)];
        out += rng() % 4 == 0 ? "\r\n" : "\n";
    }
    return out;
}

TEST_F(Skip, JunkAndLinesLongerThanTheBufferReadAsEveryReadWouldReadThem)
{
    // The normal buffer once (its long lines make for some 400,000 reads), a
    // small one more often.
    for (std::size_t buffer : {0u, 600u}) {
        rte::fmt::detail::setReadBufferSize(buffer);
        for (unsigned seed = 1; seed <= (buffer == 0 ? 1u : 5u); ++seed) {
            SCOPED_TRACE(testing::Message() << "buffer " << buffer << " seed " << seed);
            // Junk alone, and junk between pieces of a recording.
            const std::string text = junk(120, buffer == 0 ? 300 * 1024 : 2 * buffer, seed);
            const std::string mixed = recording(700, "\n", seed) + text + recording(700, "\r\n", seed);
            for (const std::string *bytes : {&text, &mixed}) {
                const std::string path = write(*bytes);
                for (long long step : {1, 2, 9, 120})
                    expectSameView(path, step);
                expectSameBursts(path, {1, 7, 0, 40, 3, 300}, true);
            }
        }
    }
}

TEST_F(Skip, ThePermissionOfALogarithmicAxisComesFromWhatTheLastReadLeft)
{
    // Two lines to a point.  A value that is not positive in a line passed
    // over counts only where the kept line fills no value of its own; a kept
    // line that fills no time ends the points.
    const struct {
        const char *text;
        int count;  // points of these four lines
        int logAllowed;
    } cases[] = {
        {" 1.0\t-5.0 \n 2.0\t3.0 \n 3.0\t0.0 \n 4.0\t1.0 \n", 2, 1},
        {" 1.0\t-5.0 \n 2.0\tx \n 3.0\t1.0 \n 4.0\t1.0 \n", 0, 0},
        {" 1.0\t2.0 \n 2.0\t3.0 \n 3.0\t-0.0 \n 4.0\t+-1 \n", 1, 0},
        {" 1.0\t2.0 \n 2.0\t3.0 \n 3.0\t0.0 \n x\t1.0 \n", 1, 0},
        {" 1.0\t2.0 \n 2.0\t3.0 \n 3.0\t4.0 \n 4.0\t-1e400 \n", 1, 1},
        {" 1.0\t2.0 \n 2.0\t3.0 \n 3.0\t4.0 \n 4.0\t-1e300 \n", 2, 0},
    };
    // Lines of a recording around them, so that the lines passed over are
    // recognised: the pass leaves the last bytes of a file to the exact
    // reader.
    std::string recorded;
    for (int n = 0; n < 40; ++n)
        recorded += " 0.5\t1.5 \n";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = write(recorded + c.text + recorded);
        const View exact = view(path, 2, false);
        EXPECT_EQ(exact.count, 20 + c.count + (c.count == 2 ? 20 : 0));
        EXPECT_EQ(exact.logAllowed, c.logAllowed);
        expectSameView(path, 2);
    }
}

TEST_F(Skip, EveryByteInEveryPlaceOfARecordedLine)
{
    // Groups of recorded lines, each with one line that has one byte
    // changed, among them to the neighbours of a digit or a sign: passed over
    // with the lines before it, the changed line is held against their
    // shape.  Lines of two lengths: the byte after the second is the first of
    // a sixteen-byte piece.
    std::vector<int> bytes;
    for (int byte = 0; byte < 0x80; ++byte)
        bytes.push_back(byte);
    for (int byte : {0x80, 0xa9, 0xab, 0xad, 0xaf, 0xb0, 0xb5, 0xb9, 0xba, 0xe5, 0xff})
        bytes.push_back(byte);
    for (const std::string line : {" 12345.5\t2.000000e+05 \n", " 12345678901234.5\t2.000000e+05 \n"}) {
        for (std::size_t at = 0; at < line.size(); ++at) {
            SCOPED_TRACE(testing::Message() << line.size() << "-byte line, byte " << at);
            std::string text;
            for (int byte : bytes) {
                std::string changed = line;
                changed[at] = static_cast<char>(byte);
                text += line + line + line + changed + line + line + line + line + line;
            }
            expectSameBursts(write(text), {8, 3}, true);
        }
    }
}

TEST_F(Skip, RecordsAroundTheLongestRecognised)
{
    // White space in front makes the records longer, up to and past the
    // longest that is recognised: its numbers must not be cut there.
    for (std::size_t pad = 20; pad < 70; ++pad) {
        SCOPED_TRACE(testing::Message() << "pad " << pad);
        std::string text;
        for (int n = 0; n < 12; ++n)
            text += std::string(pad, ' ') + "1.25\t2.000000000000001 \n";
        const std::string path = write(text);
        expectSameView(path, 4);
        expectSameBursts(path, {5, 3}, true);
    }
}

TEST_F(Skip, RecordsCutByTheBufferEnd)
{
    // A small read buffer ends inside every part of a record over and over;
    // the white space in front shifts where.
    const std::string base = recording(400, "\r\n", 13);
    for (std::size_t size : {512u, 513u, 600u, 777u}) {
        rte::fmt::detail::setReadBufferSize(size);
        for (std::size_t shift = 0; shift < 24; ++shift) {
            SCOPED_TRACE(testing::Message() << "buffer " << size << " shift " << shift);
            const std::string text = std::string(shift, ' ') + base;
            expectSameView(write(text), 3);
            expectSameBursts(write(spoilt(text, 3, static_cast<unsigned>(shift))),
                             {1, 5, 17, 60, 2, 0, 100, 33, 1000});
        }
    }
}

TEST_F(Skip, TokensLongerThanTheBufferStopThePassAsTheyStopAScan)
{
    const std::string line = " 1.0\t2.000000e+00 \n";
    std::string text;
    for (int n = 0; n < 100; ++n)
        text += line;
    text += " 3.0\t" + std::string(300 * 1024, '4') + " \n" + line;
    const std::string path = write(text);
    expectSameView(path, 7);
    expectSameBursts(path, {99, 1, 1, 5});
    expectSameBursts(path, {150, 2});
}

TEST_F(Skip, OtherFormatsPassOverTheirReadsToo)
{
    const std::string path = write(" 1 2 3\n 4 5 x\n 6.5 7 8\n 9 word 10 11 12 13 14 15 16\n");
    const auto both = [&](auto &&pass, auto &&read) {
        const Reader fast(path), exact(path);
        for (long long count : {0, 1, 2, 3, 1, 4, 100}) {
            int e = 0;
            for (long long k = 0; k < count; ++k)
                e = read(exact.h);
            EXPECT_EQ(pass(fast.h, count), e) << "count " << count;
            int fc = -1, ec = -1;
            EXPECT_EQ(ScanFile(fast.h, "%c", fc), ScanFile(exact.h, "%c", ec));
            EXPECT_EQ(fc, ec) << "count " << count;
        }
    };
    {
        SCOPED_TRACE("three numbers");
        double a = 0, b = 0, c = 0, x = 0, y = 0, z = 0;
        both([&](int h, long long n) { return ScanFileSkip(h, n, "%f %f %f", a, b, c); },
             [&](int h) { return ScanFile(h, "%f %f %f", x, y, z); });
        EXPECT_TRUE(same(a, x) && same(b, y) && same(c, z));
    }
    {
        SCOPED_TRACE("a whole number and a number, white space after");
        int i = 0, j = 0;
        double a = 0, b = 0;
        both([&](int h, long long n) { return ScanFileSkip(h, n, "%d %f ", i, a); },
             [&](int h) { return ScanFile(h, "%d %f ", j, b); });
        EXPECT_EQ(i, j);
        EXPECT_TRUE(same(a, b));
    }
    {
        // A word and a number: a read that fails part-way has still moved on,
        // so the reads after it find something else.
        SCOPED_TRACE("a word and a number");
        char w[8] = "", u[8] = "";
        double a = 0, b = 0;
        both([&](int h, long long n) { return ScanFileSkip(h, n, "%s %f", w, a); },
             [&](int h) { return ScanFile(h, "%s %f", u, b); });
        EXPECT_STREQ(w, u);
        EXPECT_TRUE(same(a, b));
    }
}

TEST_F(Skip, BadHandlesAndNothingToPassOver)
{
    double t = 5, v = 6;
    EXPECT_EQ(ScanFileSkip(-1, 3, "%f %f", t, v), kFileBadArgument);
    const std::string path = write(" 1.0\t2.0 \n 3.0\t4.0 \n");
    const int written = OpenFile(path.c_str(), kOpenWrite, kOpenAppend, kOpenText);
    EXPECT_EQ(ScanFileSkip(written, 1, "%f %f", t, v), kFileBadArgument);
    CloseFile(written);
    const Reader file(path);
    for (long long none : {0LL, -1LL, -1000000LL})
        EXPECT_EQ(ScanFileSkip(file.h, none, "%f %f", t, v), 0);
    EXPECT_EQ(t, 5.0);
    EXPECT_EQ(v, 6.0);
    EXPECT_EQ(ScanFile(file.h, "%f %f", t, v), 2);
    EXPECT_EQ(t, 1.0) << "nothing was passed over";
}

}  // namespace
