// The publishing settings file on its own: what it holds, in what text, and
// who may read it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings_file.h"
#include "publish/publish_settings.h"

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

}  // namespace
