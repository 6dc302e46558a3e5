// Readings published to a real broker while the program runs against the
// simulated analyser: what arrives, in which order, and what the operator
// is told when the broker, the login, the certificate or the store fails.
#include <gtest/gtest.h>

#include <QLineEdit>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "alarm/alarm_settings.h"
#include "app/settings_file.h"
#include "app/state.h"
#include "link/exchange.h"
#include "app/panel_ids.h"
#include "publish/publish.h"
#include "publish/publish_panel.h"
#include "publish/publish_settings.h"
#include "rte/formatio.h"
#include "rte/mqtt.h"
#include "rte/rs232.h"
#include "rte/testing.h"
#include "rte/userint.h"
#include "tests/program/program_fixture.h"
#include "tools/child_process.h"
#include "tools/mqtt_broker.h"
#include "tools/sleep_until.h"

namespace program_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char *const kPrefix = "vandrel/publish-test";

std::string condition()
{
    char text[kConditionSize];
    publish_condition(text);
    return text;
}

// The sequence numbers of the readings among a subscriber's lines, in the
// order they arrived.
std::vector<long> sequences(const std::vector<std::string> &lines)
{
    static const std::regex seq(R"(^vandrel/publish-test/reading \{"seq":(\d+),)");
    std::vector<long> out;
    std::smatch m;
    for (const std::string &line : lines)
        if (std::regex_search(line, m, seq))
            out.push_back(std::stol(m[1]));
    return out;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string all;
    for (const std::string &line : lines)
        all += line + '\n';
    return all;
}

// At least once and in order: every number from `first` to `last` arrives,
// and each number arriving for the first time is above all that came
// before it (a repeat of an earlier one is allowed).
void expectEveryReadingInOrder(const std::vector<long> &arrived, long first, long last)
{
    std::set<long> seen;
    long highest = first - 1;
    for (long s : arrived) {
        if (seen.insert(s).second) {
            EXPECT_GT(s, highest) << "reading " << s << " arrived after " << highest;
            highest = std::max(highest, s);
        }
    }
    for (long s = first; s <= last; ++s)
        EXPECT_TRUE(seen.count(s)) << "reading " << s << " never arrived";
}

class Publishing : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        removeFiles();
        startProgram({"--no-pacing"});
    }
    void TearDown() override
    {
        publish_stop();
        removeFiles();
        ProgramTest::TearDown();
    }
    static void removeFiles()
    {
        for (const char *name : {"vandrel-publish.ini", "vandrel-publish.seq", "vandrel-publish.store",
                                 "vandrel-publish.store.damaged"}) {
            char path[kPathSize];
            settings_file_path(name, path);
            fs::remove_all(path);
        }
    }
    // Publishing on to the broker, saved and started as the panel does.
    void publishTo(const support::MqttBroker &broker, const std::string &user = "",
                   const std::string &password = "", const std::string &caFile = "", int storeLimit = 0)
    {
        publish_settings_load();
        publishing.store_limit = storeLimit;
        publishing.enabled = 1;
        std::snprintf(publishing.host, sizeof publishing.host, "%s", caFile.empty() ? "127.0.0.1" : "localhost");
        publishing.port = broker.port();
        publishing.tls = !caFile.empty();
        std::snprintf(publishing.ca_file, sizeof publishing.ca_file, "%s", caFile.c_str());
        std::snprintf(publishing.user, sizeof publishing.user, "%s", user.c_str());
        std::snprintf(publishing.password, sizeof publishing.password, "%s", password.c_str());
        std::snprintf(publishing.prefix, sizeof publishing.prefix, "%s", kPrefix);
        std::snprintf(publishing.client_id, sizeof publishing.client_id, "publish-test");
        ASSERT_EQ(publish_settings_save(), 0);
        publish_start();
    }
    bool connected()
    {
        return support::sleepUntil([] { return MqttState() == kMqttConnected; }, 30s);
    }
    // Waits until the readings from `first` to `last` have all arrived.
    bool arrived(support::MqttSubscriber &sub, long first, long last)
    {
        return support::sleepUntil(
            [&] {
                const auto s = sequences(sub.lines());
                const std::set<long> seen(s.begin(), s.end());
                for (long n = first; n <= last; ++n)
                    if (!seen.count(n))
                        return false;
                return true;
            },
            60s);
    }
    std::string brokerDir(const std::string &name)
    {
        const std::string path = dir.file(name);
        fs::create_directories(path);
        return path;
    }
};

TEST_F(Publishing, ABrokerRestartedInTheMiddleOfARecordedRunLosesNoReading)
{
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal == SIGTERM ? "stopped" : "killed");
        removeFiles();
        support::TempDir runDir;
        const std::string brokerPath = runDir.file("broker");
        fs::create_directories(brokerPath);
        support::MqttBroker broker(brokerPath);
        ASSERT_TRUE(broker.start());
        support::MqttSubscriber sub(broker, kPrefix, runDir.file("received"));
        ASSERT_TRUE(sub.ready());
        publishTo(broker);
        ASSERT_TRUE(connected()) << condition();
        startRun(runDir.file("run.dat"));
        int t = 1;
        for (; t < 10; ++t)
            tickAt(t);
        if (signal == SIGKILL) {
            // A broker killed outright keeps only what it saved: the
            // subscriber's session, and nothing it still had to pass on.
            ASSERT_TRUE(arrived(sub, 1, 10));
            ASSERT_TRUE(broker.saved());
        }
        broker.stop(signal);
        for (; t < 20; ++t)
            tickAt(t);
        EXPECT_NE(MqttState(), kMqttConnected);
        EXPECT_TRUE(condition().starts_with("Connecting")) << condition();
        ASSERT_TRUE(broker.start());
        for (; t < 30; ++t)
            tickAt(t);

        // A first start: the sequence begins at 1.
        ASSERT_TRUE(arrived(sub, 1, 30)) << joined(sub.lines());
        expectEveryReadingInOrder(sequences(sub.lines()), 1, 30);
        EXPECT_EQ(readLines(runDir.file("run.dat")).size(), 30u) << "the recording went on";
        EXPECT_EQ(sub.lines().back(), std::string(kPrefix) + "/status online");
        rte::testing::operate(state.main_panel, kMainStop);
        publish_stop();
    }
}

TEST_F(Publishing, ReadingsTakenWhileTheBrokerIsDownAtStartArriveAlsoAcrossARestartOfTheProgram)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    support::MqttSubscriber sub(broker, kPrefix, dir.file("received"));
    ASSERT_TRUE(sub.ready());
    broker.stop();

    // A store left by other settings is not this client's to read back.
    char store[kPathSize];
    settings_file_path("vandrel-publish.store", store);
    fs::create_directories(std::string(store) + "/vandrel-other-broker.site-1883");
    std::ofstream(std::string(store) + "/vandrel-other-broker.site-1883/c-1.msg") << "not this client's";
    publishTo(broker);
    startRun(dir.file("run.dat"));
    for (int t = 1; t < 5; ++t)
        tickAt(t);
    EXPECT_TRUE(condition().starts_with("Connecting")) << condition();
    publish_stop();
    publish_start();
    EXPECT_EQ(condition(), "Connecting to the broker; readings are kept until it answers.")
        << "the readings kept are read back whole";
    for (int t = 5; t < 8; ++t)
        tickAt(t);
    ASSERT_TRUE(broker.start());

    ASSERT_TRUE(arrived(sub, 1, 8)) << "the store kept the readings of the first start";
    expectEveryReadingInOrder(sequences(sub.lines()), 1, 8);
}

TEST_F(Publishing, EachReadingSaysWhatTheAnalyserAnswered)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    support::MqttSubscriber sub(broker, kPrefix, dir.file("received"));
    ASSERT_TRUE(sub.ready());
    publishTo(broker);
    ASSERT_TRUE(connected()) << condition();
    startRun();
    sim->setMode("wrong-letter");
    tickAt(1);
    // A reply of "nan" reads as a value that is no number.
    Fmt(state.reply, "M2 nan");
    auswerten();
    ASSERT_TRUE(std::isnan(state.reading));
    publish_reading();

    const std::regex reading(
        R"re(^vandrel/publish-test/reading \{"seq":\d+,"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z","elapsed":([0-9.]+),"quantity":"oxygen","unit":"ppm","value":([^,]+),"status":"(\w+)"\}$)re");
    ASSERT_TRUE(support::sleepUntil([&] { return sequences(sub.lines()).size() >= 3; }, 30s));
    std::vector<std::vector<std::string>> seen;
    for (const std::string &line : sub.lines()) {
        std::smatch m;
        if (std::regex_match(line, m, reading))
            seen.push_back({m[1], m[2], m[3]});
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0][0], "0.000");
    EXPECT_NE(seen[0][1], "null");
    EXPECT_EQ(seen[0][2], "ok");
    EXPECT_EQ(seen[1][0], "1.000");
    EXPECT_EQ(seen[1][1], "null");
    EXPECT_EQ(seen[1][2], "bad_reply");
    EXPECT_EQ(seen[2][1], "null") << "nan is not a JSON number";
    EXPECT_EQ(seen[2][2], "ok");
}

TEST_F(Publishing, AlarmEventsGoToTheirOwnTopic)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    support::MqttSubscriber sub(broker, kPrefix, dir.file("received"));
    ASSERT_TRUE(sub.ready());
    publishTo(broker);
    ASSERT_TRUE(connected()) << condition();
    // Raised by a reading, as the cycle raises it: the purge's first reading
    // lies far above 10 ppm.
    alarm_settings = AlarmSettings{};
    for (Limits &l : alarm_settings.limits)
        l.delay = 1;
    alarm_settings.limits[0].high_on = 1;
    alarm_settings.limits[0].high = 10;
    startRun(dir.file("run.dat"));
    rte::testing::operate(state.main_panel, kMainStop);
    alarm_settings = AlarmSettings{};
    publish_alarm("no_answer", NAN, NAN, 43);
    const std::regex alarm(
        R"re(^vandrel/publish-test/alarm \{"time":"[0-9T:.-]+Z","elapsed":([0-9.]+),"event":"(\w+)","quantity":"oxygen","value":([^,]+),"limit":([^,]+)\}$)re");
    std::vector<std::string> seen;
    ASSERT_TRUE(support::sleepUntil(
        [&] {
            seen.clear();
            for (const std::string &line : sub.lines()) {
                std::smatch m;
                if (std::regex_match(line, m, alarm))
                    seen.push_back(m.str(1) + " " + m.str(2) + " " + m.str(3) + " " + m.str(4));
            }
            return seen.size() == 3;
        },
        30s))
        << joined(sub.lines());
    EXPECT_TRUE(std::regex_match(seen[0], std::regex(R"(0\.\d{3} alarm_high \d{4,}\.\d+ 10\.000000)"))) << seen[0];
    // Stopped while the alarm was in force.
    EXPECT_TRUE(std::regex_match(seen[1], std::regex(R"(\d+\.\d{3} stopped \d{4,}\.\d+ 10\.000000)"))) << seen[1];
    EXPECT_EQ(seen[2], "43.000 no_answer null null");
}

TEST_F(Publishing, TheOperatorIsToldWhenTheBrokerRefusesTheLogin)
{
    const std::string dirPath = brokerDir("broker");
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c " + dirPath + "/passwd site s3cret-pw").c_str()), 0);
    support::MqttBroker broker(dirPath, "allow_anonymous false\npassword_file " + dirPath + "/passwd\n");
    ASSERT_TRUE(broker.start());

    publishTo(broker, "site", "wrong-pw");
    ASSERT_TRUE(support::sleepUntil([] { return MqttState() == kMqttLoginRefused; }, 30s)) << condition();
    EXPECT_EQ(condition(), "The broker refused the user name or password.");
    // The settings file holds the password: nobody but its user reads it.
    char path[kPathSize];
    settings_file_path("vandrel-publish.ini", path);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    publishTo(broker, "site", "s3cret-pw");
    EXPECT_TRUE(connected()) << condition();
}

TEST_F(Publishing, TheBrokersCertificateIsVerifiedAgainstTheCaFile)
{
    const std::string d = brokerDir("tls");
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 ";
    std::ofstream(d + "/san.ext") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    const std::string make =
        "cd " + d + " && openssl req -x509" + ec + "-keyout ca.key -out ca.pem -subj /CN=site-ca" +
        " && openssl req -x509" + ec + "-keyout other.key -out other.pem -subj /CN=other-ca" +
        " && openssl req" + ec + "-keyout server.key -out server.csr -subj /CN=localhost" +
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2"
        " -extfile san.ext -out server.pem";
    ASSERT_EQ(std::system(("(" + make + ") >/dev/null 2>&1").c_str()), 0);
    support::MqttBroker broker(d, "cafile " + d + "/ca.pem\ncertfile " + d + "/server.pem\nkeyfile " + d +
                                      "/server.key\n");
    ASSERT_TRUE(broker.start());

    publishTo(broker, "", "", d + "/other.pem");
    ASSERT_TRUE(support::sleepUntil([] { return MqttState() == kMqttBadCertificate; }, 30s)) << condition();
    EXPECT_EQ(condition(), "The broker's certificate does not verify against the CA file.");

    publishTo(broker, "", "", d + "/ca.pem");
    EXPECT_TRUE(connected()) << condition();
}


TEST_F(Publishing, ADamagedStoreIsReportedAndPublishingGoesOn)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    support::MqttSubscriber sub(broker, kPrefix, dir.file("received"));
    ASSERT_TRUE(sub.ready());
    broker.stop();
    publishTo(broker);
    startRun(dir.file("run.dat"));
    for (int t = 1; t < 3; ++t)
        tickAt(t);
    publish_stop();
    char store[kPathSize];
    settings_file_path("vandrel-publish.store", store);
    int damaged = 0;
    for (const auto &entry : fs::recursive_directory_iterator(store))
        if (entry.is_regular_file()) {
            std::ofstream(entry.path(), std::ios::binary | std::ios::trunc) << "\x01\xff garbage";
            ++damaged;
        }
    ASSERT_GT(damaged, 0);

    publish_start();
    EXPECT_TRUE(condition().ends_with("The store on disk was damaged; what could not be read is lost."))
        << condition();
    tickAt(3);
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(support::sleepUntil([&] { return !sequences(sub.lines()).empty(); }, 30s));
    EXPECT_TRUE(connected());
    EXPECT_EQ(readLines(dir.file("run.dat")).size(), 4u) << "the recording went on";
}

TEST_F(Publishing, AStoreThatCannotBeWrittenIsReportedAndPublishingGoesOn)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    support::MqttSubscriber sub(broker, kPrefix, dir.file("received"));
    ASSERT_TRUE(sub.ready());
    // A file where the store's folder belongs: nothing can be stored in it.
    char store[kPathSize];
    settings_file_path("vandrel-publish.store", store);
    std::ofstream(store) << "in the way";
    publishTo(broker);
    EXPECT_TRUE(condition().ends_with("The store on disk cannot be written: messages kept while the broker is "
                                      "away may be lost."))
        << condition();
    startRun(dir.file("run.dat"));
    tickAt(1);
    ASSERT_TRUE(support::sleepUntil([&] { return sequences(sub.lines()).size() >= 2; }, 30s));
    EXPECT_EQ(readLines(dir.file("run.dat")).size(), 2u) << "the recording went on";
}

TEST_F(Publishing, ThePanelSavesTheSettingsPublishesWithThemAndShowsTheCondition)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    support::MqttSubscriber sub(broker, kPrefix, dir.file("received"));
    ASSERT_TRUE(sub.ready());
    publish_start();
    rte::testing::activateMenuItem(state.menu_bar, kMainPublishingItem);
    const int panel = publish_panel();
    ASSERT_TRUE(rte::testing::panelVisible(panel));
    const auto text = [panel](int control) {
        char value[300];
        GetCtrlVal(panel, control, value);
        return std::string(value);
    };
    EXPECT_EQ(text(kPublishingCondition), "Publishing is off.");
    EXPECT_TRUE(text(kPublishingPrefix).starts_with("vandrel/")) << text(kPublishingPrefix);

    rte::testing::operate(panel, kPublishingEnabled);
    rte::testing::typeInto(panel, kPublishingHost, "127.0.0.1");
    rte::testing::typeInto(panel, kPublishingPort, std::to_string(broker.port()).c_str());
    rte::testing::typeInto(panel, kPublishingPrefix, kPrefix);
    rte::testing::typeInto(panel, kPublishingClientId, "publish-panel-test");
    rte::testing::typeInto(panel, kPublishingPassword, "not-shown");
    const auto *password = qobject_cast<QLineEdit *>(rte::testing::widget(panel, kPublishingPassword));
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    rte::testing::operate(panel, kPublishingApply);

    EXPECT_TRUE(rte::testing::waitUntil([&] { return text(kPublishingCondition) == "Connected to the broker."; }, 30))
        << text(kPublishingCondition);
    startRun();
    ASSERT_TRUE(support::sleepUntil([&] { return !sequences(sub.lines()).empty(); }, 30s));
    // Applying again during the run: the sequence counts on.
    rte::testing::operate(panel, kPublishingApply);
    tickAt(1);
    ASSERT_TRUE(support::sleepUntil([&] { return sequences(sub.lines()).size() >= 2; }, 30s));
    EXPECT_EQ(sequences(sub.lines()), (std::vector<long>{1, 2}));
    // What the panel saved is what the next start uses.
    publishing = PublishSettings{};
    publish_settings_load();
    EXPECT_EQ(publishing.enabled, 1);
    EXPECT_EQ(publishing.port, broker.port());
    EXPECT_STREQ(publishing.password, "not-shown");
    EXPECT_STREQ(publishing.client_id, "publish-panel-test");
    rte::testing::closePanel(panel);
    EXPECT_FALSE(rte::testing::panelVisible(panel));
}

TEST_F(Publishing, AFullStoreDropsTheOldestReadingsAndSaysSo)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    support::MqttSubscriber sub(broker, kPrefix, dir.file("received"));
    ASSERT_TRUE(sub.ready());
    broker.stop();
    publishTo(broker, "", "", "", 4);
    startRun();
    for (int t = 1; t < 4; ++t)
        tickAt(t);
    EXPECT_EQ(condition(), "Connecting to the broker; readings are kept until it answers.");
    for (int t = 4; t < 8; ++t)
        tickAt(t);
    EXPECT_TRUE(condition().ends_with(" The store was full: the oldest messages were dropped.")) << condition();
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(connected());
    tickAt(8);
    // The eight readings of the outage, the last four kept, then one more.
    ASSERT_TRUE(support::sleepUntil([&] { return sequences(sub.lines()).size() >= 5; }, 30s))
        << joined(sub.lines());
    const auto arrivedSeqs = sequences(sub.lines());
    ASSERT_EQ(arrivedSeqs.size(), 5u);
    EXPECT_EQ(arrivedSeqs.back() - arrivedSeqs.front(), 4);
    expectEveryReadingInOrder(arrivedSeqs, arrivedSeqs.front(), arrivedSeqs.back());
}

TEST_F(Publishing, AStoreOnAFullDiskIsReportedWhileTheRunAndTheRecordingGoOn)
{
    // Nothing listens on the port of a broker that never starts.
    const support::MqttBroker nobody(brokerDir("broker"));
    const int cycles = 40;
    const std::string recording = dir.file("run.dat");
    // The analyser belongs to the child.
    CloseCom(settings.com_port);
    state.port_open = 0;
    support::ChildProcess child({STARVED_STORE_PATH, sim->linkPath(), recording, std::to_string(nobody.port()),
                                 std::to_string(cycles)},
                                dir.file("report"));
    ASSERT_TRUE(support::sleepUntil([&] { return !child.running(); }, 60s));
    const auto report = readLines(dir.file("report"));
    ASSERT_FALSE(report.empty());
    ASSERT_FALSE(report[0].starts_with("unavailable")) << report[0];
    ASSERT_EQ(report.back(), "done") << joined(report);
    EXPECT_EQ(report[report.size() - 2],
              std::to_string(cycles - 1) +
                  "\tConnecting to the broker; readings are kept until it answers. The store on disk cannot be "
                  "written: messages kept while the broker is away may be lost.");
    EXPECT_EQ(readLines(recording).size(), static_cast<std::size_t>(cycles)) << "the recording went on";
}

}  // namespace
}  // namespace program_test
