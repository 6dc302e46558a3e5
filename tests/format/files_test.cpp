// File handles and the file half of the format language: OpenFile,
// CloseFile, GetFileInfo, FmtFile, ScanFile (rte/formatio.h).
#include "rte/format/files_internal.h"
#include "rte/formatio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBuffer = 256 * 1024;  // the engine's read buffer

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/rte-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override
    {
        const std::string cmd = "rm -rf '" + dir_ + "'";
        (void)std::system(cmd.c_str());
    }
    std::string path(const char *name) const { return dir_ + "/" + name; }

    static void write(const std::string &p, const std::string &content)
    {
        std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
    }
    static std::string read(const std::string &p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string dir_;
};

// ------------------------------------------------------------ open and close

TEST_F(Files, OpenFailures)
{
    EXPECT_EQ(OpenFile(path("missing").c_str(), 1, 2, 1), kFileNotFound);
    EXPECT_EQ(OpenFile(path("no/such/dir/file").c_str(), 2, 0, 1), kFileNotFound);
    write(path("plain"), "x");
    EXPECT_EQ(OpenFile(path("plain/below").c_str(), 1, 0, 1), kFileNotFound);
    EXPECT_EQ(OpenFile(dir_.c_str(), 1, 2, 1), kFileAccessDenied) << "a directory";
    EXPECT_EQ(OpenFile(dir_.c_str(), 2, 0, 1), kFileAccessDenied);
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(OpenFile(path("fifo").c_str(), 1, 2, 1), kFileAccessDenied) << "no hang on a pipe";
    EXPECT_EQ(OpenFile(nullptr, 1, 2, 1), kFileBadArgument);
    EXPECT_EQ(OpenFile(path("plain").c_str(), 3, 0, 1), kFileBadArgument);
    EXPECT_EQ(OpenFile(path("plain").c_str(), -1, 0, 1), kFileBadArgument);
    EXPECT_EQ(OpenFile(path("plain").c_str(), 1, 3, 1), kFileBadArgument);
    EXPECT_EQ(OpenFile(path("plain").c_str(), 1, 0, 2), kFileBadArgument);
    if (geteuid() != 0) {
        write(path("locked"), "secret");
        chmod(path("locked").c_str(), 0);
        EXPECT_EQ(OpenFile(path("locked").c_str(), 1, 2, 1), kFileAccessDenied);
    }
    EXPECT_EQ(OpenFile(path("missing").c_str(), 1, 0, 1), kFileNotFound)
        << "read-only opens create nothing";
    long long size = -1;
    EXPECT_EQ(GetFileInfo(path("missing").c_str(), size), 0);
}

TEST_F(Files, HandlesArePositiveAndDieWithClose)
{
    const std::string p = path("h.txt");
    const int h = OpenFile(p.c_str(), 2, 0, 1);
    ASSERT_GT(h, 0);
    EXPECT_EQ(FmtFile(h, "%d\n", 1), 1);
    EXPECT_EQ(CloseFile(h), 0);
    EXPECT_EQ(CloseFile(h), kFileBadArgument);
    EXPECT_EQ(FmtFile(h, "%d\n", 2), kFileBadArgument);
    int v = 0;
    EXPECT_EQ(ScanFile(h, "%d", v), kFileBadArgument);
    const int h2 = OpenFile(p.c_str(), 1, 2, 1);
    ASSERT_GT(h2, 0);
    EXPECT_NE(h2, h) << "a closed handle does not reach the next file";
    EXPECT_EQ(FmtFile(h, "%d\n", 2), kFileBadArgument);
    EXPECT_EQ(CloseFile(h2), 0);
    EXPECT_EQ(CloseFile(0), kFileBadArgument);
    EXPECT_EQ(CloseFile(-1), kFileBadArgument);
    EXPECT_EQ(CloseFile(123456789), kFileBadArgument);
    EXPECT_EQ(FmtFile(0, "x"), kFileBadArgument);
    EXPECT_EQ(read(p), "1\n");
}

TEST_F(Files, AccessFollowsTheMode)
{
    const std::string p = path("m.txt");
    write(p, "5 6\n");
    const int r = OpenFile(p.c_str(), 1, 2, 1);
    ASSERT_GT(r, 0);
    EXPECT_EQ(FmtFile(r, "x"), kFileBadArgument) << "read-only handle";
    const int w = OpenFile(p.c_str(), 2, 2, 1);
    ASSERT_GT(w, 0);
    int v = 0;
    EXPECT_EQ(ScanFile(w, "%d", v), kFileBadArgument) << "write-only handle";
    EXPECT_EQ(ScanFile(r, "%d", v), 1);
    EXPECT_EQ(v, 5);
    CloseFile(r);
    CloseFile(w);
}

TEST_F(Files, TooManyOpen)
{
    const std::string p = path("many");
    write(p, "");
    std::vector<int> handles;
    int last = 0;
    for (int i = 0; i < 5000; ++i) {
        last = OpenFile(p.c_str(), 1, 2, 0);
        if (last < 0)
            break;
        handles.push_back(last);
    }
    EXPECT_EQ(last, kFileTooManyOpen);
    for (int h : handles)
        EXPECT_EQ(CloseFile(h), 0);
    const int h = OpenFile(p.c_str(), 1, 2, 0);
    EXPECT_GT(h, 0) << "slots come back after close";
    CloseFile(h);
}

TEST_F(Files, Actions)
{
    const std::string p = path("a.txt");
    write(p, "12345");
    // Keep: positioned at the start, nothing removed.
    int h = OpenFile(p.c_str(), 2, 2, 0);
    ASSERT_GT(h, 0);
    FmtFile(h, "AB");
    CloseFile(h);
    EXPECT_EQ(read(p), "AB345");
    // Append.
    h = OpenFile(p.c_str(), 2, 1, 0);
    FmtFile(h, "%d", 6);
    CloseFile(h);
    EXPECT_EQ(read(p), "AB3456");
    // Truncate.
    h = OpenFile(p.c_str(), 0, 0, 1);
    ASSERT_GT(h, 0);
    long long size = -1;
    EXPECT_EQ(GetFileInfo(p.c_str(), size), 1);
    EXPECT_EQ(size, 0);
    FmtFile(h, "new\n");
    CloseFile(h);
    EXPECT_EQ(read(p), "new\n");
    // Read-only with action 0 (as the settings load opens) keeps the content.
    h = OpenFile(p.c_str(), 1, 0, 1);
    ASSERT_GT(h, 0);
    CloseFile(h);
    EXPECT_EQ(read(p), "new\n");
    // Write modes create the file.
    h = OpenFile(path("created").c_str(), 2, 1, 1);
    ASSERT_GT(h, 0);
    CloseFile(h);
    EXPECT_EQ(GetFileInfo(path("created").c_str(), size), 1);
    EXPECT_EQ(size, 0);
    // Read/write, append: reads from the start, writes at the end.
    write(p, "7 8");
    h = OpenFile(p.c_str(), 0, 1, 1);
    int a = 0;
    EXPECT_EQ(ScanFile(h, "%d", a), 1);
    EXPECT_EQ(a, 7);
    FmtFile(h, " 9");
    CloseFile(h);
    EXPECT_EQ(read(p), "7 8 9");
}

TEST_F(Files, TextModeWritesThePlatformLineEnd)
{
    const std::string p = path("t.txt");
    int h = OpenFile(p.c_str(), 2, 0, 1);
    FmtFile(h, "a\nb\n");
    CloseFile(h);
    EXPECT_EQ(read(p), "a\nb\n");
    h = OpenFile(p.c_str(), 2, 0, 0);
    FmtFile(h, "a\nb\n");
    CloseFile(h);
    EXPECT_EQ(read(p), "a\nb\n");
}

TEST_F(Files, GetFileInfo)
{
    long long size = -1;
    write(path("f"), std::string(12345, 'z'));
    EXPECT_EQ(GetFileInfo(path("f").c_str(), size), 1);
    EXPECT_EQ(size, 12345);
    EXPECT_EQ(GetFileInfo(path("nothing").c_str(), size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(GetFileInfo(path("f/below").c_str(), size), 0);
    EXPECT_EQ(GetFileInfo(dir_.c_str(), size), 0) << "a directory is no file";
    EXPECT_EQ(GetFileInfo(nullptr, size), kFileBadArgument);
}

// ------------------------------------------------------------ writing

TEST_F(Files, ALineReachesTheSystemBeforeTheCallReturns)
{
    const std::string p = path("rec.dat");
    const int h = OpenFile(p.c_str(), 0, 0, 1);
    ASSERT_GT(h, 0);
    EXPECT_EQ(FmtFile(h, " %f[p1]\t%f[e2] \n", 0.0, 209100.0), 2);
    // Read through another descriptor while the handle is still open.
    EXPECT_EQ(read(p), " 0.0\t2.091000e+05 \n");
    EXPECT_EQ(FmtFile(h, " %f[p1]\t%f[e2] \n", 1.04, -0.0), 2);
    EXPECT_EQ(read(p), " 0.0\t2.091000e+05 \n 1.0\t-0.000000e+00 \n");
    long long size = 0;
    GetFileInfo(p.c_str(), size);
    EXPECT_EQ(size, 39);
    EXPECT_EQ(FmtFile(h, ""), 0);
    CloseFile(h);
}

TEST_F(Files, LongTextsAreWrittenWhole)
{
    const std::string p = path("long");
    const std::string big(3 * 1024 * 1024, 'q');
    const int h = OpenFile(p.c_str(), 2, 0, 0);
    EXPECT_EQ(FmtFile(h, "%s|%f[w999]", big.c_str(), 1.5), 2);
    CloseFile(h);
    const std::string got = read(p);
    ASSERT_EQ(got.size(), big.size() + 1 + 999);
    EXPECT_EQ(got.substr(got.size() - 10), "  1.500000");
}

TEST_F(Files, WriteFailureOnAFullDevice)
{
    const int h = OpenFile("/dev/full", 2, 0, 1);
    ASSERT_GE(h, 0) << "/dev/full is part of every Linux system";
    EXPECT_EQ(FmtFile(h, " %f[p1]\t%f[e2] \n", 1.0, 2.0), kFileWriteError);
    EXPECT_EQ(FmtFile(h, ""), 0) << "nothing to write, nothing fails";
    CloseFile(h);
}

// A file-size limit, as a full disk would: the write that crosses it is cut
// short by the system and then fails with EFBIG.  FmtFile takes the torn
// part back, so the file holds whole lines only, and a later line that fits
// goes in.  In a child, so the limit stays there.
TEST_F(Files, WriteFailureAtAFileSizeLimit)
{
    const std::string p = path("limited.dat");
    const std::string line = "0123456789012345678901234567x";  // 30 bytes with its line end
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{100, 100};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            _exit(10);
        const int h = OpenFile(p.c_str(), 0, 0, 1);
        if (h <= 0)
            _exit(11);
        // Three lines fit; the fourth crosses the limit at 100 and fails.
        for (int i = 0; i < 3; ++i)
            if (FmtFile(h, "%s\n", line.c_str()) != 1)
                _exit(12 + i);
        if (FmtFile(h, "%s\n", line.c_str()) != kFileWriteError)
            _exit(20);
        long long size = 0;
        if (GetFileInfo(p.c_str(), size) != 1 || size != 90)
            _exit(21);  // the torn part was not taken back
        if (FmtFile(h, "%d\n", 5) != 1)
            _exit(22);  // a short line still fits
        if (FmtFile(h, "%s\n", line.c_str()) != kFileWriteError)
            _exit(23);
        CloseFile(h);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child died by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string whole = line + "\n";
    EXPECT_EQ(read(p), whole + whole + whole + "5\n") << "whole lines only";
}

TEST_F(Files, RenameFileReplacesTheTarget)
{
    write(path("new"), "fresh");
    write(path("old"), "stale");
    EXPECT_EQ(RenameFile(path("new").c_str(), path("old").c_str()), 0);
    EXPECT_EQ(read(path("old")), "fresh");
    long long size = 0;
    EXPECT_EQ(GetFileInfo(path("new").c_str(), size), 0);
    EXPECT_EQ(RenameFile(path("new").c_str(), path("old").c_str()), kFileNotFound);
    EXPECT_EQ(RenameFile(nullptr, path("old").c_str()), kFileBadArgument);
    EXPECT_EQ(RenameFile(path("old").c_str(), nullptr), kFileBadArgument);
}

TEST_F(Files, RemoveFileLeavesNoFileUnderTheName)
{
    write(path("mark"), "running=1\n");
    long long size = 0;
    EXPECT_EQ(RemoveFile(path("mark").c_str()), 0);
    EXPECT_EQ(GetFileInfo(path("mark").c_str(), size), 0);
    EXPECT_EQ(RemoveFile(path("mark").c_str()), 0) << "none there is none left";
    ASSERT_EQ(mkdir(path("folder").c_str(), 0700), 0);
    EXPECT_EQ(RemoveFile(path("folder").c_str()), kFileAccessDenied);
    EXPECT_EQ(RemoveFile(nullptr), kFileBadArgument);
}

// ------------------------------------------------------------ reading

TEST_F(Files, SettingsFile)
{
    const std::string p = path("vandrel.ini");
    constexpr const char *wformat = " %d %f %d %d %d %f %f  Kv_2014\n";
    constexpr const char *rformat = "%s>%d%f%d%d%d%f%f";
    int h = OpenFile(p.c_str(), 2, 0, 1);
    ASSERT_GT(h, 0);
    EXPECT_EQ(FmtFile(h, wformat, 1, 1.0, 1, 1, 0, 0.0, 10.0), 7);
    CloseFile(h);
    EXPECT_EQ(read(p), " 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n");

    int port = 0, autoscale = 0, mode = 0, logScale = 0;
    double interval = 0, yMin = 0, yMax = 0;
    h = OpenFile(p.c_str(), 1, 0, 1);
    ASSERT_GT(h, 0);
    EXPECT_EQ(ScanFile(h, rformat, port, interval, autoscale, mode, logScale, yMin, yMax), 7);
    EXPECT_EQ(yMax, 10.0);
    EXPECT_EQ(ScanFile(h, rformat, port, interval, autoscale, mode, logScale, yMin, yMax), 0)
        << "reads go on where the last stopped";
    CloseFile(h);

    write(p, " 4 2.5 0 2 1 0.1 x10.0  Kv_2014\n");
    h = OpenFile(p.c_str(), 1, 0, 1);
    EXPECT_EQ(ScanFile(h, rformat, port, interval, autoscale, mode, logScale, yMin, yMax), 6);
    CloseFile(h);
    write(p, " 4 2.5 0 2 1 0.1 7");
    h = OpenFile(p.c_str(), 1, 0, 1);
    EXPECT_EQ(ScanFile(h, rformat, port, interval, autoscale, mode, logScale, yMin, yMax), 7)
        << "no tag, no line end";
    CloseFile(h);
    write(p, "");
    h = OpenFile(p.c_str(), 1, 0, 1);
    EXPECT_EQ(ScanFile(h, rformat, port, interval, autoscale, mode, logScale, yMin, yMax), 0);
    CloseFile(h);
    write(p, std::string(" 1 1.0 1\0 1 0 0.0 10.0", 22));
    h = OpenFile(p.c_str(), 1, 0, 1);
    EXPECT_EQ(ScanFile(h, rformat, port, interval, autoscale, mode, logScale, yMin, yMax), 3)
        << "a NUL byte is not white space";
    CloseFile(h);
}

// The recording file: lines written by FmtFile, read back by the viewer's
// "%f %f" one pair per call.
std::string recordingLines(std::size_t minBytes, std::vector<double> &t, std::vector<double> &v,
                           unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> mant(1.0, 10.0);
    std::uniform_int_distribution<int> ex(-12, 12);
    std::string out;
    double time = 0;
    char line[128];
    while (out.size() < minBytes) {
        double value = mant(rng) * std::pow(10.0, ex(rng)) * (rng() % 5 == 0 ? -1 : 1);
        if (rng() % 97 == 0)
            value = 0;
        Fmt(line, " %f[p1]\t%f[e2] \n", time, value);
        out += line;
        double a = 0, b = 0;
        Scan(line, "%f %f", a, b);
        t.push_back(a);
        v.push_back(b);
        time += 0.1 + (rng() % 1000) / 100.0;
    }
    return out;
}

TEST_F(Files, ScanFileAcrossBufferBoundaries)
{
    // Shift the same lines by 0..39 bytes, so the buffer ends at every place
    // inside a line: in the time, the tab, the mantissa, the 'e', the sign,
    // the exponent digits, the blank and the line end.
    std::vector<double> t, v;
    const std::string lines = recordingLines(3 * kBuffer + 1000, t, v, 7);
    for (int shift = 0; shift < 40; ++shift) {
        const std::string p = path("boundary.dat");
        write(p, std::string(static_cast<std::size_t>(shift), ' ') + lines);
        const int h = OpenFile(p.c_str(), 1, 2, 1);
        ASSERT_GT(h, 0);
        std::size_t n = 0;
        double a, b;
        while (ScanFile(h, "%f %f", a, b) == 2) {
            ASSERT_LT(n, t.size());
            ASSERT_EQ(a, t[n]) << "shift " << shift << " line " << n;
            ASSERT_EQ(b, v[n]) << "shift " << shift << " line " << n;
            ++n;
        }
        EXPECT_EQ(n, t.size()) << "shift " << shift;
        CloseFile(h);
    }
}

TEST_F(Files, ScanFileSplitNumbersAtTheBufferEnd)
{
    // A number whose text is cut by the buffer end in each awkward place.
    const char *tokens[] = {"1.5e+05", "-2.25E-7", "+3.5", "infinity", "-inf", "nan",
                            "123456789", "1e5", ".5", "7."};
    for (const char *tok : tokens) {
        const std::size_t len = std::strlen(tok);
        for (std::size_t cut = 0; cut <= len; ++cut) {
            // The token starts `cut` bytes before the end of the first buffer.
            std::string content(kBuffer - cut - 1, ' ');
            content = "1" + content.substr(1);
            content += " ";
            content += tok;
            content += " 42\n";
            const std::string p = path("cut.dat");
            write(p, content);
            double expected = 0;
            ASSERT_EQ(Scan(tok, "%f", expected), 1);
            const int h = OpenFile(p.c_str(), 1, 2, 1);
            double first = 0, x = 0, y = 0;
            EXPECT_EQ(ScanFile(h, "%f", first), 1);
            EXPECT_EQ(ScanFile(h, "%f %f", x, y), 2) << tok << " cut " << cut;
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(x));
            else
                EXPECT_EQ(x, expected) << tok << " cut " << cut;
            EXPECT_EQ(y, 42.0);
            CloseFile(h);
        }
    }
}

TEST_F(Files, TokensLongerThanTheBufferFailCleanly)
{
    const std::string p = path("digits.dat");
    const std::string digits(1000000, '7');
    write(p, "1 " + digits + " 2\n");
    int h = OpenFile(p.c_str(), 1, 2, 1);
    double a = -1, b = -1;
    EXPECT_EQ(ScanFile(h, "%f", a), 1);
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(ScanFile(h, "%f", b), 0);
    EXPECT_EQ(b, -1.0) << "target not filled";
    EXPECT_EQ(ScanFile(h, "%f", b), 0) << "and again, without hanging";
    int i = -1;
    EXPECT_EQ(ScanFile(h, "%d", i), 0);
    EXPECT_EQ(i, -1);
    // A word is cut to its target and passed over whole, however long.
    char word[8];
    EXPECT_EQ(ScanFile(h, "%s %f", word, b), 2);
    EXPECT_STREQ(word, "7777777");
    EXPECT_EQ(b, 2.0);
    CloseFile(h);

    // A long run of white space is no token.
    write(p, std::string(3 * kBuffer, ' ') + "\n\t 5");
    h = OpenFile(p.c_str(), 1, 2, 1);
    EXPECT_EQ(ScanFile(h, "%f", a), 1);
    EXPECT_EQ(a, 5.0);
    CloseFile(h);
}

TEST_F(Files, BinaryFilesAndNulBytes)
{
    const std::string p = path("nul.dat");
    write(p, std::string("1\0 2", 4));
    int h = OpenFile(p.c_str(), 1, 2, 0);
    double a = 0, b = 0;
    EXPECT_EQ(ScanFile(h, "%f %f", a, b), 1);
    CloseFile(h);

    // 20 MB of random bytes: every read returns, the loop ends.
    std::mt19937_64 rng(99);
    std::string junk(20 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i + 8 <= junk.size(); i += 8) {
        const std::uint64_t r = rng();
        std::memcpy(&junk[i], &r, 8);
    }
    write(p, junk);
    h = OpenFile(p.c_str(), 1, 2, 0);
    int calls = 0;
    while (ScanFile(h, "%f %f", a, b) == 2)
        ++calls;
    EXPECT_LT(calls, 100);
    CloseFile(h);
    h = OpenFile(p.c_str(), 1, 2, 0);
    char word[16];
    std::size_t words = 0;
    while (ScanFile(h, "%s", word) == 1)
        ASSERT_LT(++words, junk.size());
    EXPECT_GT(words, 1000u);
    CloseFile(h);
    int settings[7];
    double d[3];
    h = OpenFile(p.c_str(), 1, 0, 1);
    EXPECT_LT(ScanFile(h, "%s>%d%f%d%d%d%f%f", settings[0], d[0], settings[1], settings[2],
                       settings[3], d[1], d[2]),
              7);
    CloseFile(h);
}

TEST_F(Files, ShrinkingAndVanishingFiles)
{
    std::vector<double> t, v;
    const std::string lines = recordingLines(2 * kBuffer, t, v, 3);
    const std::string p = path("shrink.dat");

    // Shrinks after the first buffer was read.
    write(p, lines);
    int h = OpenFile(p.c_str(), 1, 2, 1);
    double a, b;
    ASSERT_EQ(ScanFile(h, "%f %f", a, b), 2);
    ASSERT_EQ(truncate(p.c_str(), 1000), 0);
    std::size_t n = 1;
    while (ScanFile(h, "%f %f", a, b) == 2)
        ASSERT_LT(++n, t.size());
    EXPECT_LT(n, t.size());
    CloseFile(h);

    // Emptied before the first read.
    write(p, lines);
    h = OpenFile(p.c_str(), 1, 2, 1);
    ASSERT_EQ(truncate(p.c_str(), 0), 0);
    EXPECT_EQ(ScanFile(h, "%f %f", a, b), 0);
    CloseFile(h);

    // Removed while open: the open handle still reads it.
    write(p, lines);
    h = OpenFile(p.c_str(), 1, 2, 1);
    ASSERT_EQ(unlink(p.c_str()), 0);
    n = 0;
    while (ScanFile(h, "%f %f", a, b) == 2)
        ++n;
    EXPECT_EQ(n, t.size());
    EXPECT_EQ(CloseFile(h), 0);
}

TEST_F(Files, ReadsSeeDataAppendedLater)
{
    const std::string p = path("grow.dat");
    write(p, " 1.0\t2.0 \n");
    const int h = OpenFile(p.c_str(), 1, 2, 1);
    double a, b;
    EXPECT_EQ(ScanFile(h, "%f %f", a, b), 2);
    EXPECT_EQ(ScanFile(h, "%f %f", a, b), 0);
    std::ofstream(p, std::ios::app) << " 3.0\t4.0 \n";
    EXPECT_EQ(ScanFile(h, "%f %f", a, b), 2);
    EXPECT_EQ(a, 3.0);
    EXPECT_EQ(b, 4.0);
    CloseFile(h);
}

TEST_F(Files, WriteAfterScanGoesWhereTheScanStopped)
{
    const std::string p = path("rw.txt");
    write(p, "1 2 3 4");
    const int h = OpenFile(p.c_str(), 0, 2, 0);
    int a = 0;
    EXPECT_EQ(ScanFile(h, "%d", a), 1);
    EXPECT_EQ(FmtFile(h, "X"), 0);
    EXPECT_EQ(ScanFile(h, "%d", a), 1);
    EXPECT_EQ(a, 2);
    CloseFile(h);
    EXPECT_EQ(read(p), "1X2 3 4");
}

// The same reads with a read buffer of a few dozen bytes: every kind of cut
// by the buffer end, over and over, in a small file.
TEST_F(Files, ScanFileWithASmallBuffer)
{
    std::vector<double> t, v;
    const std::string lines = recordingLines(20000, t, v, 11);
    for (std::size_t size : {512u, 513u, 577u, 600u, 777u, 1000u}) {
        rte::fmt::detail::setReadBufferSize(size);
        for (int shift = 0; shift < 30; ++shift) {
            const std::string p = path("small.dat");
            write(p, std::string(static_cast<std::size_t>(shift), '\n') + lines);
            const int h = OpenFile(p.c_str(), 1, 2, 1);
            std::size_t n = 0;
            double a, b;
            while (ScanFile(h, "%f %f", a, b) == 2) {
                ASSERT_LT(n, t.size());
                ASSERT_EQ(a, t[n]) << "buffer " << size << " shift " << shift << " line " << n;
                ASSERT_EQ(b, v[n]) << "buffer " << size << " shift " << shift << " line " << n;
                ++n;
            }
            EXPECT_EQ(n, t.size()) << "buffer " << size << " shift " << shift;
            CloseFile(h);
        }
    }
    // A token that, with the look-ahead, fills the small buffer is not read.
    rte::fmt::detail::setReadBufferSize(1);
    const std::string p = path("long.dat");
    write(p, "1 " + std::string(450, '3') + " 2.5 word" + std::string(2000, 'w') + " 7");
    const int h = OpenFile(p.c_str(), 1, 2, 1);
    double a = 0;
    int i = 0;
    char word[4];
    EXPECT_EQ(ScanFile(h, "%d", i), 1);
    EXPECT_EQ(ScanFile(h, "%f", a), 0);
    EXPECT_EQ(ScanFile(h, "%s %f %s %d", word, a, word, i), 4) << "words have no length limit";
    EXPECT_EQ(a, 2.5);
    EXPECT_STREQ(word, "wor");
    EXPECT_EQ(i, 7);
    CloseFile(h);
    rte::fmt::detail::setReadBufferSize(0);
}

TEST_F(Files, NumericFormatsLeaveThePositionAsTheGeneralPathDoes)
{
    const std::string p = path("pos.dat");
    write(p, " 1.5 \n\t x 2 3 \n y");
    const int h = OpenFile(p.c_str(), 1, 2, 1);
    double a = 0;
    int c = 0, i = 0, j = 0;
    EXPECT_EQ(ScanFile(h, "%f ", a), 1) << "trailing white space is skipped";
    EXPECT_EQ(ScanFile(h, "%c", c), 1);
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(ScanFile(h, "%d%d", i, j), 2);
    EXPECT_EQ(ScanFile(h, "%c", c), 1);
    EXPECT_EQ(c, ' ') << "no trailing white space in the format: none skipped";
    CloseFile(h);
}

#ifndef NDEBUG
TEST_F(Files, WrongTargetsAbortOnTheFastPathToo)
{
    // "fast": the child runs only the statement, so it makes no temporary
    // directory of its own that nobody would remove.
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::string p = path("k.dat");
    write(p, "1 2\n");
    EXPECT_DEATH(
        {
            const int h = OpenFile(p.c_str(), 1, 2, 1);
            int i = 0;
            double d = 0;
            ScanFile(h, RuntimeFormat("%f %f"), i, d);
        },
        "wrong kind.*\"%f %f\"");
    EXPECT_DEATH(
        {
            const int h = OpenFile(p.c_str(), 1, 2, 1);
            double d = 0;
            ScanFile(h, RuntimeFormat("%f %f"), d);
        },
        "too few targets");
}
#else
TEST_F(Files, WrongTargetsStopOnTheFastPathToo)
{
    const std::string p = path("k.dat");
    write(p, "1 2\n");
    const int h = OpenFile(p.c_str(), 1, 2, 1);
    int i = 0;
    double d = 0;
    EXPECT_EQ(ScanFile(h, RuntimeFormat("%f %f"), i, d), 0);
    EXPECT_EQ(ScanFile(h, RuntimeFormat("%f %d"), d, d), 1);
    EXPECT_EQ(d, 1.0);
    CloseFile(h);
}
#endif

// ------------------------------------------------------------ ReadLine

// Every line of a file as ReadLine gives it, with its result.
std::vector<std::pair<int, std::string>> readLines(const std::string &p)
{
    std::vector<std::pair<int, std::string>> lines;
    const int h = OpenFile(p.c_str(), kOpenRead, kOpenKeep, kOpenText);
    char line[8];
    for (int n; (n = ReadLine(h, line)) != kFileEnd;) {
        lines.emplace_back(n, line);
        if (n < 0 || lines.size() > 100)
            break;
    }
    CloseFile(h);
    return lines;
}

TEST_F(Files, ReadLineTakesEitherLineEndAndCutsLongLines)
{
    using Lines = std::vector<std::pair<int, std::string>>;
    const struct {
        const char *what;
        std::string bytes;
        Lines lines;
    } rows[] = {
        {"Linux line ends", "ab\ncd\n", {{2, "ab"}, {2, "cd"}}},
        {"Windows line ends", "ab\r\ncd\r\n", {{2, "ab"}, {2, "cd"}}},
        {"no line end at the end", "ab\ncd", {{2, "ab"}, {2, "cd"}}},
        {"empty lines", "\n\r\n\nx", {{0, ""}, {0, ""}, {0, ""}, {1, "x"}}},
        {"a CR that ends no line is kept", "a\rb\r\r\nc\r", {{4, "a\rb\r"}, {2, "c\r"}}},
        {"cut to the target, passed over whole", "1234567890\nab\n", {{10, "1234567"}, {2, "ab"}}},
        {"a cut at a CR LF", "1234567\r\nab", {{7, "1234567"}, {2, "ab"}}},
        {"NUL bytes are bytes of the line", std::string("a\0b\nc\n", 6), {{3, "a"}, {1, "c"}}},
        {"empty file", "", {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string p = path("lines.txt");
        write(p, row.bytes);
        EXPECT_EQ(readLines(p), row.lines);
    }
    char line[4];
    EXPECT_EQ(ReadLine(12345, line), kFileBadArgument);
    const std::string p = path("w.txt");
    const int w = OpenFile(p.c_str(), kOpenWrite, kOpenTruncate, kOpenText);
    EXPECT_EQ(ReadLine(w, line), kFileBadArgument);
    CloseFile(w);
}

// Lines across every place where a small buffer ends, the CR of a CR LF
// among them, and ReadLine and ScanFile taking turns on one handle.
TEST_F(Files, ReadLineAcrossBufferEndsAndBesideScanFile)
{
    std::string bytes;
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        expected.push_back(std::string(static_cast<std::size_t>(i % 37), 'a' + i % 26) + std::to_string(i));
        bytes += expected.back() + (i % 2 ? "\r\n" : "\n");
    }
    const std::string p = path("many.txt");
    write(p, bytes);
    for (std::size_t size : {512u, 513u, 600u}) {
        rte::fmt::detail::setReadBufferSize(size);
        const int h = OpenFile(p.c_str(), kOpenRead, kOpenKeep, kOpenText);
        char line[64];
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(ReadLine(h, line), static_cast<int>(expected[i].size())) << "buffer " << size << " line " << i;
            ASSERT_EQ(line, expected[i]) << "buffer " << size << " line " << i;
        }
        EXPECT_EQ(ReadLine(h, line), kFileEnd);
        EXPECT_EQ(ReadLine(h, line), kFileEnd);
        CloseFile(h);
    }
    rte::fmt::detail::setReadBufferSize(0);

    write(p, "1 2 rest of the line\n3 4\r\nlast");
    const int h = OpenFile(p.c_str(), kOpenRead, kOpenKeep, kOpenText);
    int a = 0, b = 0;
    char line[32];
    EXPECT_EQ(ScanFile(h, "%d %d", a, b), 2);
    EXPECT_EQ(ReadLine(h, line), 17);
    EXPECT_STREQ(line, " rest of the line");
    EXPECT_EQ(ScanFile(h, "%d %d", a, b), 2);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(ReadLine(h, line), 0) << "the end of the scanned line";
    EXPECT_EQ(ReadLine(h, line), 4);
    EXPECT_STREQ(line, "last");
    CloseFile(h);
}

// The rest of a file counted as ReadLine would read it, from wherever the
// reads before stopped, across every place where a small buffer ends; a
// line longer than the buffer is passed over whole by either.
TEST_F(Files, CountLinesLeftCountsWhatReadLineWouldRead)
{
    const std::string longLine(2000, 'x');
    const struct {
        const char *what;
        std::string bytes;
        int readFirst;
        long long left;
    } rows[] = {
        {"empty", "", 0, 0},
        {"one line", "a\n", 0, 1},
        {"no line end at the end", "a\nb", 0, 2},
        {"empty lines", "\n\r\n\n", 0, 3},
        {"after the lines read", "a\nb\nc\n", 2, 1},
        {"all read", "a\nb\n", 2, 0},
        {"NUL bytes and CRs", std::string("\0\r\n\r\0", 5), 0, 2},
        {"lines longer than the buffer", longLine + "\n" + longLine + "\n" + longLine, 1, 2},
        {"many short lines", std::string(5000, '\n'), 1, 4999},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string p = path("left.txt");
        write(p, row.bytes);
        for (std::size_t size : {512u, 513u, 0u}) {
            rte::fmt::detail::setReadBufferSize(size);
            const int h = OpenFile(p.c_str(), kOpenRead, kOpenKeep, kOpenText);
            char line[8];
            for (int i = 0; i < row.readFirst; ++i)
                ASSERT_GE(ReadLine(h, line), 0);
            EXPECT_EQ(CountLinesLeft(h), row.left) << "buffer " << size;
            EXPECT_EQ(ReadLine(h, line), kFileEnd) << "passed over to the end";
            CloseFile(h);
        }
    }
    rte::fmt::detail::setReadBufferSize(0);
    EXPECT_EQ(CountLinesLeft(12345), kFileBadArgument);
}

}  // namespace
