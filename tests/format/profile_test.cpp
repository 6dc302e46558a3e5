// A process that runs a profile: its name checked, its settings folder, its
// start with the session, and the claim that keeps one process to a folder.
// Once selected, a profile holds for the process, so this is a program of
// its own; what it makes below the program's folder it removes again.
#include "rte/utility.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifndef _WIN32
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// The engine's paths are UTF-8.
fs::path fromUtf8(const char *text)
{
    return fs::path(std::u8string(reinterpret_cast<const char8_t *>(text)));
}

fs::path programDir()
{
    char dir[4096];
    EXPECT_EQ(GetProjectDir(dir), 0);
    return fromUtf8(dir);
}

#ifndef _WIN32
// Runs `body` in a child process; its exit status, or -1 when a signal
// ended it.
template <typename Body>
int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

// Other tests may keep profiles there too: only these go.
struct ProfileFolders : ::testing::Test {
    static void TearDownTestSuite()
    {
        for (const char *made : {"bench2", "other", "a1", "not a name", "zz"})
            fs::remove_all(programDir() / "profiles" / made);
        std::error_code ignored;
        fs::remove(programDir() / "profiles", ignored);  // when it is empty
    }
};

}  // namespace

TEST(ProfileName, LettersDigitsDashAndUnderscoreUpToThirtyTwoThatWindowsCanHoldAsAFolder)
{
    for (const char *good : {"bench2", "A", "O2-line_3", "COM10", "CONSOLE", "nul1", "12345678901234567890123456789012"})
        EXPECT_EQ(ProfileNameFault(good), nullptr) << good;
    const struct {
        const char *name;
        const char *fault;
    } bad[] = {
        {"", "is empty"},
        {"123456789012345678901234567890123", "is longer than 32 characters"},
        {"bench 2", "may hold only letters (A to Z), digits, - and _"},
        {"../x", "may hold only letters (A to Z), digits, - and _"},
        {"a\\b", "may hold only letters (A to Z), digits, - and _"},
        {"Pr\xC3\xBC" "fung", "may hold only letters (A to Z), digits, - and _"},
        {"COM1", "is one that Windows keeps for a device"},
        {"nul", "is one that Windows keeps for a device"},
        {"Lpt9", "is one that Windows keeps for a device"},
        {"con", "is one that Windows keeps for a device"},
    };
    for (const auto &b : bad) {
        const char *fault = ProfileNameFault(b.name);
        ASSERT_NE(fault, nullptr) << b.name;
        EXPECT_STREQ(fault, b.fault) << b.name;
        EXPECT_NE(SelectProfile(b.name), 0) << b.name;
    }
    char name[kProfileNameSize];
    EXPECT_EQ(GetProfile(name), 0);
    EXPECT_STREQ(name, "") << "a refused name selected nothing";
}

TEST_F(ProfileFolders, AProfileKeepsItsSettingsAndSessionStartApartAndListsWithTheOthers)
{
#ifndef _WIN32
    const fs::path config = fs::temp_directory_path() / ("vandrel-profile-" + std::to_string(::getpid()));
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
#endif
    char unnamed[4096];
    ASSERT_EQ(GetSettingsDir(unnamed), 0);
    EXPECT_EQ(fromUtf8(unnamed), programDir());

    ASSERT_EQ(SelectProfile("bench2"), 0);
    char dir[4096], name[kProfileNameSize];
    ASSERT_EQ(GetSettingsDir(dir), 0);
    EXPECT_EQ(fromUtf8(dir), programDir() / "profiles" / "bench2");
    EXPECT_TRUE(fs::is_directory(fromUtf8(dir)));
#ifndef _WIN32
    struct stat info{};
    ASSERT_EQ(::stat(dir, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "settings hold the broker's password";
#endif
    EXPECT_EQ(GetProfile(name), 0);
    EXPECT_STREQ(name, "bench2");

    // Folders and files beside it that are no profiles are not listed.
    fs::create_directories(programDir() / "profiles" / "a1");
    fs::create_directories(programDir() / "profiles" / "not a name");
    std::ofstream(programDir() / "profiles" / "zz") << "a file\n";
    char names[8][kProfileNameSize];
    ASSERT_EQ(ListProfiles(names, 8), 2);
    EXPECT_STREQ(names[0], "a1");
    EXPECT_STREQ(names[1], "bench2");
    EXPECT_EQ(ListProfiles(names, 1), 1);

    char entry[4096];
    ASSERT_EQ(GetSessionStartPath(entry), 0);
#ifdef _WIN32
    EXPECT_EQ(fromUtf8(entry).filename(), "Vandrel bench2.lnk") << entry;
    ASSERT_EQ(SetSessionStart(1), 0);
    EXPECT_EQ(GetSessionStart(), 1);
    EXPECT_TRUE(fs::is_regular_file(fromUtf8(entry)));
#else
    EXPECT_EQ(fs::path(entry), config / "autostart" / "vandrel-bench2.desktop");
    ASSERT_EQ(SetSessionStart(1), 0);
    std::ifstream in(entry);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("\nName=Vandrel bench2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("/profile_test\" --profile bench2\n"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(config / "autostart" / "vandrel.desktop")) << "the unnamed copy's entry is its own";
#endif
    EXPECT_EQ(SetSessionStart(0), 0);
    EXPECT_FALSE(fs::exists(fromUtf8(entry)));
#ifndef _WIN32
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(config);
#endif
}

// Windows' side of the claim is proven by two copies of the whole program
// under wine.
#ifndef _WIN32
TEST_F(ProfileFolders, OneProcessHoldsAFolderUntilItEndsHoweverItEnds)
{
    ASSERT_EQ(SelectProfile("bench2"), 0);
    long holder = -1;
    ASSERT_EQ(ClaimSettingsDir(&holder), 1);
    const int requests = ClaimRequests();
    ASSERT_GE(requests, 0);

    // A second start is refused, told who holds it, and asks it forward.
    EXPECT_EQ(inChild([] {
                  long h = 0;
                  return ClaimSettingsDir(&h) == 0 && h == static_cast<long>(::getppid()) ? 0 : 1;
              }),
              0);
    pollfd asked{requests, POLLIN, 0};
    ASSERT_EQ(::poll(&asked, 1, 60'000), 1);
    EXPECT_EQ(AnswerClaimRequest(), 1);
    EXPECT_EQ(AnswerClaimRequest(), 0) << "one request, taken once";

    // Another folder is another claim; a holder killed outright lets go.
    int ready[2], hold[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(hold), 0);
    const pid_t first = ::fork();
    if (first == 0) {
        char c = SelectProfile("other") == 0 && ClaimSettingsDir(nullptr) == 1 ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(hold[0], &c, 1);  // until killed
        ::_exit(0);
    }
    char said = 0;
    ASSERT_EQ(::read(ready[0], &said, 1), 1);
    EXPECT_EQ(said, 'y');
    const auto claimOther = [] { return SelectProfile("other") == 0 ? ClaimSettingsDir(nullptr) : -9; };
    EXPECT_EQ(inChild([&] { return claimOther(); }), 0) << "held by the first";
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    EXPECT_EQ(inChild([&] { return claimOther(); }), 1) << "taken over after the holder's end";
    for (const int fd : {ready[0], ready[1], hold[0], hold[1]})
        ::close(fd);
}
#endif
