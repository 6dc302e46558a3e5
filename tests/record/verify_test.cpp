// vandrel --verify on a sealed recording and on tampered copies of it, on
// hostile run files, and on the recording of a run killed outright.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "tests/program/program_fixture.h"
#include "tools/child_process.h"
#include "tools/serial_locks.h"
#include "tools/sleep_until.h"

namespace program_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Outcome {
    int status;
    std::string said;
};

// The program's own command, as an operator or a script runs it.
Outcome verifyCommand(const std::string &file, const std::string &output)
{
    const std::string command = std::string(VANDREL_PATH) + " --verify '" + file + "' > '" + output + "' 2>&1";
    const int result = std::system(command.c_str());
    return {WIFEXITED(result) ? WEXITSTATUS(result) : -1, readAll(output)};
}

// Where each line starts, and the end.
std::vector<std::size_t> lineStarts(const std::string &bytes)
{
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n')
            starts.push_back(i + 1);
    return starts;
}

// One digit of the value on line n (from 1) changed to another.
void changeDigit(std::string &bytes, int n)
{
    const std::size_t at = bytes.find('\t', lineStarts(bytes)[n - 1]) + 1;
    bytes[at] = bytes[at] == '9' ? '1' : static_cast<char>(bytes[at] + 1);
}

class Verify : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram();
    }
};

// 200 readings a second apart: entries after lines 61, 121 and 181, and the
// end after line 200.
TEST_F(Verify, NamesTheMinuteOfEachTamperedCopyAndExitsWithItsStatus)
{
    const std::string path = dir.file("run.dat");
    settings.interval = 1.0;
    startRun(path);
    for (int k = 1; k < 200; ++k)
        tickAt(k + 0.01);
    rte::testing::operate(state.main_panel, kMainStop);
    const std::string dat = readAll(path), info = readAll(dir.file("run.info"));
    ASSERT_EQ(lineStarts(dat).size(), 201u);

    struct Row {
        const char *name;
        std::function<void(std::string &dat, std::string &info)> tamper;
        int status;
        const char *said;  // a regular expression for what follows "FILE: "
    };
    const auto seal = [](std::string &info, int entry) -> std::size_t {
        std::size_t at = 0;
        for (int k = 0; k < entry; ++k)
            at = info.find("\nseal=", at + 1);
        return info.find('\n', at + 1) - 1;  // its hash's last digit
    };
    const Row rows[] = {
        {"intact", [](std::string &, std::string &) {}, 0, "intact: 200 lines, sealed to the end of the run"},
        {"digit-in-line-1", [](std::string &d, std::string &) { changeDigit(d, 1); }, 1,
         R"(changed between line 1 and line 61 \(or the run file's fields, .*\))"},
        {"digit-in-the-middle", [](std::string &d, std::string &) { changeDigit(d, 100); }, 1,
         "changed between line 62 and line 121"},
        {"digit-in-the-last-line", [](std::string &d, std::string &) { changeDigit(d, 200); }, 1,
         "changed between line 182 and line 200"},
        {"line-deleted",
         [](std::string &d, std::string &) {
             const auto s = lineStarts(d);
             d.erase(s[149], s[150] - s[149]);
         },
         1, "changed between line 122 and line 181"},
        {"line-inserted",
         [](std::string &d, std::string &) { d.insert(lineStarts(d)[30], " 30.5\t2.000000e+05 \n"); }, 1,
         R"(changed between line 1 and line 61 .*)"},
        {"end-cut", [](std::string &d, std::string &) { d.erase(lineStarts(d)[195]); }, 3,
         "lines cut at the end: the seal holds 200 lines, the file 195; the lines up to 181 are intact"},
        {"lines-added", [](std::string &d, std::string &) { d += " 200.0\t1.0e+01 \n 201.0\t1.0e+01 \n"; }, 3,
         "lines added at the end: 2 after line 200, where the run ended"},
        {"chain-edited",
         [&seal](std::string &, std::string &i) {
             char &digit = i[seal(i, 2)];
             digit = digit == '0' ? '1' : '0';
         },
         1, "changed: the run file's seal was edited at its entry for lines 62 to 121; .*"},
        {"last-entry-edited",
         [&seal](std::string &, std::string &i) {
             char &digit = i[seal(i, 4)];
             digit = digit == '0' ? '1' : '0';
         },
         1, "changed between line 182 and line 200"},
        {"field-edited",
         [](std::string &, std::string &i) { i.replace(i.find("version=3.0"), 11, "version=9.9"); }, 1,
         R"(changed between line 1 and line 61 \(or the run file's fields, .*\))"},
        {"run-file-missing", [](std::string &, std::string &i) { i.clear(); }, 4, "no seal: no run file .*"},
        {"seal-line-garbled", [](std::string &, std::string &i) { i += "seal=minute now 1 2 xyz\n"; }, 1,
         "changed: the run file's seal does not read at its line .*"},
        {"not-a-run-file", [](std::string &, std::string &i) { i = std::string(3000000, '\0'); }, 4,
         "no seal: the run file .*"},
        {"only-fields", [](std::string &, std::string &i) { i.erase(i.find("seal=")); }, 4,
         R"(no seal: the run file holds no entry .*)"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string folder = dir.file(row.name);
        fs::create_directory(folder);
        std::string d = dat, i = info;
        row.tamper(d, i);
        writeAll(folder + "/run.dat", d);
        if (!i.empty())
            writeAll(folder + "/run.info", i);
        const Outcome outcome = verifyCommand(folder + "/run.dat", folder + "/said");
        EXPECT_EQ(outcome.status, row.status) << outcome.said;
        const std::string named = folder + "/run.dat: ";
        ASSERT_TRUE(outcome.said.starts_with(named)) << outcome.said;
        EXPECT_TRUE(std::regex_match(outcome.said.substr(named.size()), std::regex(row.said + std::string("\n"))))
            << outcome.said;
    }
    const Outcome none = verifyCommand(dir.file("none.dat"), dir.file("said"));
    EXPECT_EQ(none.status, 6) << none.said;
    EXPECT_EQ(verifyCommand("", dir.file("said")).status, 6);
    const std::string usage = std::string(VANDREL_PATH) + " --verify > /dev/null 2>&1";
    const int result = std::system(usage.c_str());
    EXPECT_EQ(WIFEXITED(result) ? WEXITSTATUS(result) : -1, 2);
}

// "Open file" shows the verdict beside the name, whatever the file.
TEST_F(Verify, OpenFileShowsTheVerdictBesideTheName)
{
    const std::string path = dir.file("run.dat");
    startRun(path);
    for (int k = 1; k < 70; ++k)
        tickAt(k);
    rte::testing::operate(state.main_panel, kMainStop);
    const auto shown = [&] {
        rte::testing::queueFileSelect(kSelectionExisting, path);
        rte::testing::operate(state.main_panel, kMainOpenFile);
        return controlText(kMainFile);
    };
    EXPECT_EQ(shown(), path + "  [intact: 70 lines, sealed to the end of the run]");
    std::string bytes = readAll(path);
    changeDigit(bytes, 65);
    writeAll(path, bytes);
    EXPECT_EQ(shown(), path + "  [changed between line 62 and line 70]");
    fs::remove(dir.file("run.info"));
    EXPECT_EQ(shown(), path + "  [no seal: no run file run.info]");
}

// Killed after 150 readings: entries after lines 61 and 121, none at the
// end.
TEST(KilledSealedRun, VerifiesUpToItsLastEntryAndSaysSo)
{
    support::SimulatedAnalyser analyser;
    support::TempDir dir;
    const std::string path = dir.file("killed.dat");
    {
        support::ChildProcess recorder({SEALED_RECORDER_PATH, analyser.linkPath(), path, "150"},
                                       dir.file("recorder.out"));
        ASSERT_TRUE(support::sleepUntil([&] { return readAll(dir.file("recorder.out")) == "ready\n"; }, 120s))
            << readAll(dir.file("recorder.out"));
        recorder.signal(SIGKILL);
        ASSERT_TRUE(support::sleepUntil([&] { return !recorder.running(); }, 10s));
        EXPECT_EQ(support::serialLock(analyser.linkPath()), "");
    }
    const Outcome outcome = verifyCommand(path, dir.file("said"));
    EXPECT_EQ(outcome.status, 5) << outcome.said;
    EXPECT_EQ(outcome.said, path + ": intact up to line 121, its last entry; the run ended without its end "
                                   "(killed?), and the 29 lines after it are not sealed\n");
}

}  // namespace
}  // namespace program_test
