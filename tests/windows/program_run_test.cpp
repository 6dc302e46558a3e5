// The whole program on Windows: started as its main starts it, a run
// recorded for a few cycles through the Windows serial code, ended as the
// operator ends it.  The settings file beside the executable names COM1
// (which the script that runs this under wine links to the simulated
// analyser), an interval of 2.5 s and a top of the scale of 250.
// The recorded lines and the settings line are checked; a picture of the
// screen is kept in VANDREL_ARTEFACTS.
//
// The script copies this program and the panel file into a directory of
// their own, so that the settings file there is this test's alone.
#include "app/callbacks.h"
#include "app/settings_file.h"
#include "app/shell.h"
#include "app/state.h"
#include "rte/testing.h"
#include "rte/utility.h"
#include "tests/reliability/program_driver.h"
#include "tests/reliability/recording.h"

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

fs::path programDir()
{
    char dir[kPathSize];
    GetProjectDir(dir);
    return fs::path(dir);
}

TEST(WindowsProgram, RecordsFromTheAnalyserOnCom1AndKeepsItsSettings)
{
    ASSERT_EQ(state.port_open, 1) << "COM1 did not open at start-up";
    const fs::path dat = programDir() / "run.dat";
    ASSERT_TRUE(reliability::startRecordedRunOnHeldClock(dat.string()));
    for (int t = 1; t <= 4; ++t)
        reliability::tickAt(t);

    const reliability::Recording recording = reliability::readRecording(dat.string());
    EXPECT_EQ(recording.fault, "");
    ASSERT_EQ(recording.lines.size(), 5u);
    for (std::size_t k = 0; k < recording.lines.size(); ++k) {
        EXPECT_EQ(recording.lines[k].time, static_cast<double>(k));
        EXPECT_GT(recording.lines[k].value, 0.0);  // a reading, not the failure mark
    }

    if (const char *artefacts = std::getenv("VANDREL_ARTEFACTS")) {
        // Painted now, not when the system next asks: the picture is taken
        // from the screen, as the operator sees it.
        rte::testing::widget(state.main_panel, 3)->window()->repaint();
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
}

}  // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // What the program's main does before it runs the user interface.
    start_engine(argc, argv);
    laden();
    setup();
    return RUN_ALL_TESTS();
}
