// vandrel --summary, --export-csv and --report run as a script runs them:
// the program itself, its output and its exit status.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/state.h"
#include "rte/utility.h"
#include "summary/command_line.h"
#include "tests/summary/poppler.h"
#include "tools/temp_dir.h"

namespace {

std::string programDir()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? n : 0);
    return path.substr(0, path.rfind('/'));
}

struct Ran {
    int status;
    std::string out;
};

Ran vandrel(const std::string &arguments)
{
    Ran ran{-1, ""};
    FILE *p = popen(("'" + programDir() + "/vandrel' " + arguments + " 2>/dev/null").c_str(), "r");
    char buf[4096];
    std::size_t n;
    while (p && (n = std::fread(buf, 1, sizeof buf, p)) > 0)
        ran.out.append(buf, n);
    const int status = p ? pclose(p) : -1;
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[kPathSize];
        GetSettingsDir(folder);
        alarms = std::string(folder) + "/vandrel-alarms.ini";
        std::ofstream(alarms) << "vandrel-alarms 1\noxygen 0 0 1 10 1\nvoltage 0 0 0 0 1\n"
                                 "temperature 0 0 0 0 1\nno-answer 0 3\n";
    }
    void TearDown() override { std::remove(alarms.c_str()); }
    std::string write(const std::string &name, const std::string &text)
    {
        const std::string path = dir.path() + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string quoted(const std::string &name) { return "'" + dir.path() + "/" + name + "'"; }
    support::TempDir dir;
    std::string alarms;
};

const char kOneExcursion[] = " 0.0\t1 \n 1.0\t1 \n 2.0\t12 \n 3.0\t15 \n 4.0\t1 \n 5.0\t1 \n";

TEST_F(CommandLine, EachTaskAndItsStatus)
{
    write("run.dat", kOneExcursion);
    write("damaged.dat", " 0.0\t1 \n 1.0\tgarbage \n");
    write("long.dat", "0 1\n" + std::string(1000000, '5') + " 2\n");
    mkdir((dir.path() + "/folder.dat").c_str(), 0700);
    const struct {
        std::string arguments;
        int status;
        const char *says;
    } cases[] = {
        {"--summary " + quoted("run.dat"), kTaskDone, "High limit: 10 ppm: 2.0 s above it in 1 excursion, the longest 2.0 s\n"},
        {"--summary " + quoted("damaged.dat"), kTaskPartly, "Readings: 1\n"},
        {"--summary " + quoted("long.dat"), kTaskPartly, "Readings: 1\n"},
        {"--summary " + quoted("gone.dat"), kTaskNoRecording, ""},
        {"--summary " + quoted("folder.dat"), kTaskNoRecording, ""},
        {"--export-csv " + quoted("run.dat") + " " + quoted("run.csv"), kTaskDone, ""},
        {"--export-csv " + quoted("run.dat") + " " + quoted("none/run.csv"), kTaskNotWritten, ""},
        {"--report " + quoted("run.dat") + " " + quoted("none/run.pdf"), kTaskNotWritten, ""},
        {"--export-csv " + quoted("gone.dat") + " " + quoted("gone.csv"), kTaskNoRecording, ""},
        {"--summary", kTaskBadCommand, ""},
        {"--export-csv " + quoted("run.dat"), kTaskBadCommand, ""},
        {"--summary " + quoted("run.dat") + " --report a b", kTaskBadCommand, ""},
        {"--summary " + quoted("run.dat") + " --letter", kTaskBadCommand, ""},
        {"--profile 'no name' --summary " + quoted("run.dat"), kTaskBadCommand, ""},
    };
    for (const auto &c : cases) {
        const Ran ran = vandrel(c.arguments);
        EXPECT_EQ(ran.status, c.status) << c.arguments;
        EXPECT_NE(ran.out.find(c.says), std::string::npos) << c.arguments << ":\n" << ran.out;
    }
    EXPECT_EQ(readAll(dir.path() + "/run.csv").substr(0, 31), "elapsed_s,value,unit\r\n0,1,ppm\r\n");
}

// Both paper sizes print: the page is the size asked for, and the curve
// shows on it in its colour.
TEST_F(CommandLine, ReportOnA4AndLetter)
{
    write("run.dat", kOneExcursion);
    for (const auto &[option, size] : {std::pair{"--a4", "A4"}, std::pair{"--letter", "letter"}}) {
        const std::string pdf = dir.path() + "/run-" + size + ".pdf";
        ASSERT_EQ(vandrel("--report " + quoted("run.dat") + " '" + pdf + "' " + option).status, kTaskDone);
        EXPECT_EQ(poppler::pageSize(pdf), size);
        const std::string text = poppler::text(pdf);
        EXPECT_NE(text.find("Readings: 6"), std::string::npos) << text;
        EXPECT_NE(text.find("Recording: " + dir.path() + "/run.dat"), std::string::npos) << text;
        EXPECT_GT(poppler::pixelsNear(pdf, 0x000080), 100) << size;
    }
}

}  // namespace
