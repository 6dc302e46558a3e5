// The publishing settings file on its own: what it holds, in what text, and
// who may read it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings_file.h"
#include "publish/publish_settings.h"
#include "rte/utility.h"
#include "tests/support/privileges.h"

namespace {

std::string settingsFile(const char *name)
{
    char path[kPathSize];
    settings_file_path(name, path);
    return path;
}

std::string contents(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PublishSettingsFile : public ::testing::Test {
protected:
    void SetUp() override { remove(); }
    void TearDown() override { remove(); }
    static void remove()
    {
        for (const char *name : {"vandrel-publish.ini", "vandrel-publish.new"})
            std::remove(settingsFile(name).c_str());
    }
};

// Files written before the broker's texts were UTF-8 hold them in
// Windows-1252: they read as the operator typed them, and are saved again
// in UTF-8.  Paths were UTF-8 already and stay so.
TEST_F(PublishSettingsFile, TextsOfAnOlderFileReadAsTheOperatorTypedThem)
{
    std::ofstream(settingsFile("vandrel-publish.ini"), std::ios::binary)
        << "enabled=1\nhost=m\xFC" "hle.example\nport=1883\ntls=1\nca_file=/etc/Zertifikate/Pr\xC3\xBC" "fstand.pem\n"
           "user=Pr\xFC" "fer\npassword=Gr\xFC\xDF" "e \x80\nprefix=Labor-S\xFC" "d\nclient_id=Pr\xFC" "fstand-1\n"
           "store_limit=0\n";
    ASSERT_EQ(publish_settings_load(), 0);
    EXPECT_STREQ(publishing.host, "m\xC3\xBC" "hle.example");
    EXPECT_STREQ(publishing.ca_file, "/etc/Zertifikate/Pr\xC3\xBC" "fstand.pem");
    EXPECT_STREQ(publishing.user, "Pr\xC3\xBC" "fer");
    EXPECT_STREQ(publishing.password, "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
    EXPECT_STREQ(publishing.prefix, "Labor-S\xC3\xBC" "d");
    EXPECT_STREQ(publishing.client_id, "Pr\xC3\xBC" "fstand-1");

    ASSERT_EQ(publish_settings_save(), 0);
    EXPECT_EQ(contents(settingsFile("vandrel-publish.ini")),
              "enabled=1\nhost=m\xC3\xBC" "hle.example\nport=1883\ntls=1\nca_file=/etc/Zertifikate/Pr\xC3\xBC"
              "fstand.pem\nuser=Pr\xC3\xBC" "fer\npassword=Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\n"
              "prefix=Labor-S\xC3\xBC" "d\nclient_id=Pr\xC3\xBC" "fstand-1\nstore_limit=0\n");
    const PublishSettings saved = publishing;
    publishing = PublishSettings{};
    ASSERT_EQ(publish_settings_load(), 0);
    EXPECT_STREQ(publishing.password, saved.password);
    EXPECT_STREQ(publishing.prefix, saved.prefix);
}

// Another user on the computer never reads the password, not even in the
// moment a save creates the file.  As root, a reader running as "nobody"
// opens the files again and again while the settings are saved; as an
// ordinary user, who cannot become another one, the reader watches that
// no moment of either file lets others in.  Either way it watches the
// files' modes too.
TEST_F(PublishSettingsFile, NoOtherUserReadsThePasswordWhileItIsSaved)
{
    char folderPath[kPathSize];
    ASSERT_EQ(GetSettingsDir(folderPath), 0);
    const std::string secret = "s3cret-" + std::to_string(::getpid());
    enum { kRead = 1, kOpenToOthers = 2, kAsOtherUser = 4, kCannotSetUp = 64 };
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    const int reader = support::startChildProcess([&] {
        ::close(stop[1]);
        // Reached through the folder itself: only its own mode counts,
        // not those of the folders above it.
        const int folder = ::open(folderPath, O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (folder < 0 || ::fstat(folder, &st) != 0)
            return int(kCannotSetUp);
        const bool asOther = ::geteuid() == 0 && (st.st_mode & S_IXOTH);
        if (asOther && !support::dropRoot().empty())
            return int(kCannotSetUp);
        std::vector<int> opened;
        opened.reserve(500);
        bool openToOthers = false;
        pollfd ended{stop[0], POLLIN, 0};
        while (::poll(&ended, 1, 0) == 0) {
            for (const char *name : {"vandrel-publish.new", "vandrel-publish.ini"}) {
                if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && (st.st_mode & 077) != 0)
                    openToOthers = true;
                if (!asOther || opened.size() == opened.capacity())
                    continue;
                // Read once the saves are done: what a file opened now
                // holds by then.
                if (const int file = ::openat(folder, name, O_RDONLY | O_CLOEXEC); file >= 0)
                    opened.push_back(file);
            }
        }
        bool read = false;
        for (const int file : opened) {
            char bytes[4096];
            const ssize_t n = ::pread(file, bytes, sizeof bytes, 0);
            read |= n > 0 && std::string_view(bytes, static_cast<std::size_t>(n)).find(secret) != std::string_view::npos;
        }
        return (read ? kRead : 0) | (openToOthers ? kOpenToOthers : 0) | (asOther ? kAsOtherUser : 0);
    });
    ::close(stop[0]);
    ASSERT_EQ(publish_settings_load(), 0);
    std::snprintf(publishing.password, sizeof publishing.password, "%s", secret.c_str());
    // The old way of saving was caught within 30 saves here, every time.
    const int kSaves = 1000;
    int saved = 0;
    for (int k = 0; k < kSaves; ++k)
        saved += publish_settings_save() == 0;
    ::close(stop[1]);
    const int outcome = support::finishChildProcess(reader);
    EXPECT_EQ(saved, kSaves);
    ASSERT_NE(outcome, kCannotSetUp) << "the reader could not reach the settings folder";
    ASSERT_LT(outcome, kCannotSetUp) << "the reader ended with " << outcome;
    std::printf("read as %s\n", (outcome & kAsOtherUser) ? "the user nobody" : "the same user, watching the modes");
    EXPECT_EQ(outcome & kRead, 0) << "another user read the password";
    EXPECT_EQ(outcome & kOpenToOthers, 0) << "a moment came when others could open the file";
    EXPECT_EQ(::access(settingsFile("vandrel-publish.new").c_str(), F_OK), -1) << "no temporary is left";
}

// A file that others may read, as an earlier version left one on Windows,
// is the user's alone once it has been read.
TEST_F(PublishSettingsFile, AFileOthersMayReadIsNarrowedWhenRead)
{
    const std::string file = settingsFile("vandrel-publish.ini");
    std::ofstream(file) << "enabled=0\npassword=s3cret\n";
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    ASSERT_EQ(publish_settings_load(), 0);
    EXPECT_STREQ(publishing.password, "s3cret");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
