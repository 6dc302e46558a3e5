// The settings file: the line as written, and every way a stored file can
// fall short of seven values.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "app/settings_file.h"
#include "app/state.h"
#include "rte/utility.h"
#include "tests/support/privileges.h"
#include "tools/temp_dir.h"

namespace {

std::string settingsPath()
{
    char dir[kPathSize];
    GetProjectDir(dir);
    return std::string(dir) + "/vandrel.ini";
}

void writeSettings(const std::string &bytes)
{
    std::ofstream(settingsPath(), std::ios::binary) << bytes;
}

std::string readSettings()
{
    std::ifstream in(settingsPath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::remove(settingsPath().c_str());
        settings = Settings{7, 7.0, 7, 7, 7, 7.0, 7.0};
    }
    void TearDown() override { std::remove(settingsPath().c_str()); }
};

void expectDefaults()
{
    EXPECT_EQ(settings.com_port, 1);
    EXPECT_EQ(settings.interval, 1.0);
    EXPECT_EQ(settings.autoscale, 1);
    EXPECT_EQ(settings.mode, 1);
    EXPECT_EQ(settings.log_scale, 0);
    EXPECT_EQ(settings.y_min, 0.0);
    EXPECT_EQ(settings.y_max, 10.0);
}

TEST_F(SettingsFile, MissingFileGivesDefaultsAndSavingWritesTheDefaultLine)
{
    settings_load();
    expectDefaults();
    settings_save();
    EXPECT_EQ(readSettings(), " 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n");
}

TEST_F(SettingsFile, StoredValuesAreLoadedAsTheyAreAndSavedAgain)
{
    // Out-of-range values are not this file's business: they come back as
    // they were stored.
    writeSettings(" 4 0.000000 0 5 1 -2.500000 1e3  Kv_2014\n");
    settings_load();
    EXPECT_EQ(settings.com_port, 4);
    EXPECT_EQ(settings.interval, 0.0);
    EXPECT_EQ(settings.autoscale, 0);
    EXPECT_EQ(settings.mode, 5);
    EXPECT_EQ(settings.log_scale, 1);
    EXPECT_EQ(settings.y_min, -2.5);
    EXPECT_EQ(settings.y_max, 1000.0);
    settings_save();
    EXPECT_EQ(readSettings(), " 4 0.000000 0 5 1 -2.500000 1000.000000  Kv_2014\n");
}

TEST_F(SettingsFile, SevenValuesAreEnoughWhateverFollows)
{
    for (const char *text : {"3 2.5 0 2 0 1 20", "3 2.5 0 2 0 1 20 and more text\r\n",
                             "\n\t 3\n2.5 0 2 0 1 20 Kv_2014 9 9 9"}) {
        SCOPED_TRACE(text);
        writeSettings(text);
        settings_load();
        EXPECT_EQ(settings.com_port, 3);
        EXPECT_EQ(settings.interval, 2.5);
        EXPECT_EQ(settings.mode, 2);
        EXPECT_EQ(settings.y_max, 20.0);
    }
}

TEST_F(SettingsFile, AnythingShortOfSevenValuesGivesAllDefaults)
{
    const std::string cases[] = {
        "",
        " 4 2.0 0 2 1 5.0 x  Kv_2014\n",  // six values, the seventh not a number
        " 4 2.0 0 2 1 5.0",
        std::string("\0\0\0 4 2.0 0 2 1 5.0 6.0", 24),
        "\x89PNG\r\n\x1a\n binary",
        std::string(3 << 20, '7'),  // one number far too long for any field
    };
    for (const std::string &text : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        writeSettings(text);
        settings = Settings{7, 7.0, 7, 7, 7, 7.0, 7.0};
        settings_load();
        expectDefaults();
    }
}

// Not allowed to write beside the program, as after a package install into a
// system directory: root becomes an ordinary user, and a user who may still
// write there sees the directory read-only.  The folder made for the
// settings is the user's alone; ~/.config, there already as on most
// desktops, keeps its mode.  In a child process, which answers through its
// exit status.
TEST_F(SettingsFile, ASharedInstallationKeepsEachUsersSettingsInTheirOwnDirectory)
{
    support::TempDir home;
    chmod(home.path().c_str(), 0777);
    enum Outcome { kKept, kCannotSetUp, kWritableBesideTheProgram, kOtherPath, kNotKept, kOtherMode };
    const int outcome = support::inChildProcess([&] {
        char own[kPathSize];
        GetProjectDir(own);
        std::string why = support::dropRoot();
        if (why.empty() && access(own, W_OK) == 0) {
            why = support::ownMounts();
            if (why.empty())
                why = support::mountReadOnly(own);
        }
        if (!why.empty()) {
            std::fprintf(stderr, "cannot take away the right to write beside the program: %s\n", why.c_str());
            return kCannotSetUp;
        }
        if (access(own, W_OK) == 0)
            return kWritableBesideTheProgram;
        setenv("HOME", home.path().c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        const std::string config = home.path() + "/.config";
        if (mkdir(config.c_str(), 0755) != 0 || chmod(config.c_str(), 0755) != 0)
            return kCannotSetUp;
        char path[kPathSize];
        settings_path(path);
        const std::string expected = home.path() + "/.config/program_unit_test/vandrel.ini";
        if (expected != path) {
            std::fprintf(stderr, "settings path: %s\n", path);
            return kOtherPath;
        }
        settings_load();
        settings.com_port = 5;
        settings_save();
        settings_load();
        if (settings.com_port != 5 || access(path, R_OK) != 0)
            return kNotKept;
        for (const auto &[folder, mode] : {std::pair{config, 0755u}, std::pair{config + "/program_unit_test", 0700u}}) {
            struct stat st {};
            if (stat(folder.c_str(), &st) != 0 || (st.st_mode & 0777) != mode) {
                std::fprintf(stderr, "%s: mode %o\n", folder.c_str(), st.st_mode & 0777);
                return kOtherMode;
            }
        }
        return kKept;
    });
    EXPECT_EQ(outcome, kKept);
}

}  // namespace
