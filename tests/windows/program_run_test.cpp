// The whole program on Windows: started as its main starts it, a run
// recorded through the Windows serial code while the analyser is unplugged
// and plugged back, ended as the operator ends it.  The settings file beside
// the executable names COM1 (which the script that runs this under wine
// links to the simulated analyser, simulator_control.h), an interval of
// 2.5 s and a top of the scale of 250.
// The recorded lines and the settings line are checked; a picture of the
// screen is kept in VANDREL_ARTEFACTS.
//
// The script copies this program and the panel file into a directory of
// their own, so that the settings file there is this test's alone; its name
// is in letters beyond any one code page, as an operator's may be.
#include "app/panel_ids.h"
#include "app/settings_file.h"
#include "app/shell.h"
#include "app/state.h"
#include "record/run_file.h"
#include "record/verify.h"
#include "rte/testing/testing.h"
#include "rte/utility.h"
#include "testing/program_driver.h"
#include "testing/recording.h"
#include "tests/windows/simulator_control.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path fromUtf8(const std::string &text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string utf8(const fs::path &p)
{
    const std::u8string text = p.u8string();
    return std::string(text.begin(), text.end());
}

// The engine's paths are UTF-8.
fs::path programDir()
{
    char dir[kPathSize];
    GetProjectDir(dir);
    return fromUtf8(dir);
}

bool realReading() { return reliability::controlText(kMainReading).find("ppm") != std::string::npos; }

TEST(WindowsProgram, RecordsThroughAnUnpluggedAnalyserAndKeepsItsSettings)
{
    ASSERT_EQ(state.port_open, 1) << "COM1 did not open at start-up";
    const fs::path dat = programDir() / "run.dat";
    ASSERT_TRUE(reliability::startRecordedRunOnHeldClock(utf8(dat)));
    int cycles = 1;
    const auto tick = [&] { reliability::tickAt(cycles++); };
    for (int k = 0; k < 3; ++k)
        tick();
    EXPECT_TRUE(realReading()) << reliability::controlText(kMainReading);

    // The adapter pulled: the run goes on by itself with "NO CONNECTION"
    // and reads again once it is back, nobody touching the program.
    const int pulled = cycles;
    ASSERT_TRUE(wintest::setMode("hangup"));
    ASSERT_TRUE(wintest::waitForStatus("link", "down"));
    for (int k = 0; k < 3; ++k) {
        tick();
        EXPECT_EQ(reliability::controlText(kMainReading), "NO CONNECTION");
    }
    ASSERT_TRUE(wintest::setMode("normal"));
    ASSERT_TRUE(wintest::waitForStatus("link", "up"));
    ASSERT_TRUE(rte::testing::waitUntil(
        [&] {
            tick();
            return realReading();
        },
        60))
        << "still " << reliability::controlText(kMainReading);
    const int back = cycles - 1;
    tick();

    const reliability::Recording recording = reliability::readRecording(utf8(dat));
    EXPECT_EQ(recording.fault, "");
    ASSERT_EQ(recording.lines.size(), static_cast<std::size_t>(cycles));
    for (int k = 0; k < cycles; ++k) {
        EXPECT_EQ(recording.lines[k].time, k) << "line " << k + 1;
        if (k >= pulled && k < back)
            EXPECT_EQ(recording.lines[k].value, 0.0) << "line " << k + 1 << ", while it was gone";
        else
            EXPECT_GT(recording.lines[k].value, 0.0) << "line " << k + 1;
    }

    if (const char *artefacts = std::getenv("VANDREL_ARTEFACTS")) {
        // Painted now, not when the system next asks: the picture is taken
        // from the screen, as the operator sees it.
        rte::testing::widget(state.main_panel, kMainInterval)->window()->repaint();
        QCoreApplication::processEvents();
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        EXPECT_TRUE(screen.save(QString::fromLocal8Bit(artefacts) + "/program_run.png"));
    }

    // The operator ends the program: the settings line is written as a
    // text file, and start-up reads back what it holds.
    endSC(state.main_panel, 11, nullptr, 0, 0);
    const std::string line = bytesOf(programDir() / "vandrel.ini");
    ASSERT_GE(line.size(), 11u);
    EXPECT_EQ(line.substr(line.size() - 11), "  Kv_2014\r\n") << line;
    settings = Settings{};
    settings_load();
    EXPECT_EQ(settings.com_port, 1);
    EXPECT_EQ(settings.interval, 2.5);
    EXPECT_EQ(settings.y_max, 250.0);

    // The run's record beside the recording, in a folder named beyond any
    // one code page: the run file's fields, and the seal over the bytes as
    // Windows wrote them (CR LF), which verifies; one digit changed does not.
    RunInfo info;
    ASSERT_EQ(read_run_file(utf8(programDir() / "run.info").c_str(), info), kRunFileRead);
    EXPECT_EQ(info.recording, utf8(dat));
    EXPECT_EQ(info.port, 1);
    EXPECT_EQ(info.interval, 2.5);
    EXPECT_EQ(info.version, "3.0");
    char user[300], computer[256];
    ASSERT_EQ(GetUserAccount(user), 0);
    ASSERT_EQ(GetHostName(computer), 0);
    EXPECT_EQ(info.user, user);
    EXPECT_EQ(info.computer, computer);
    EXPECT_EQ(info.utc_offset.size(), 6u) << info.utc_offset;
    EXPECT_FALSE(info.zone.empty());
    EXPECT_TRUE(info.ended);
    EXPECT_EQ(info.last_seal.lines, cycles);
    EXPECT_EQ(info.last_seal.bytes, static_cast<long long>(fs::file_size(dat)));
    const Verdict intact = verify_recording(utf8(dat).c_str());
    EXPECT_EQ(intact.status, kVerifyIntact) << intact.text;
    std::string bytes = bytesOf(dat);
    const std::size_t digit = bytes.find('\t') + 1;
    bytes[digit] = bytes[digit] == '9' ? '1' : static_cast<char>(bytes[digit] + 1);
    std::ofstream(dat, std::ios::binary | std::ios::trunc) << bytes;
    const Verdict changed = verify_recording(utf8(dat).c_str());
    EXPECT_EQ(changed.status, kVerifyChanged) << changed.text;
    EXPECT_EQ(changed.first_line, 1);
}

}  // namespace
