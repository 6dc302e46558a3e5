// Readings published to a real broker while the program runs against the
// simulated analyser: what arrives, in which order, and what the operator
// is told when the broker, the login, the certificate or the outbox fails.
#include <gtest/gtest.h>

#include <QLineEdit>

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sqlite3.h>
#include <stdio.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "alarm/alarm_settings.h"
#include "app/settings_file.h"
#include "app/state.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "app/panel_ids.h"
#include "publish/publish.h"
#include "publish/publish_panel.h"
#include "publish/publish_settings.h"
#include "record/seal.h"
#include "rte/formatio.h"
#include "rte/mqtt.h"
#include "rte/rs232.h"
#include "rte/testing/testing.h"
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

// One message as the subscriber printed it: "<topic> <payload>".
struct Message {
    std::string topic;  // after the prefix: "reading", "alarm", "dropped", "status", "live"
    long seq = -1;      // of the outbox's messages; -1 for the others
    std::string payload;
    std::string stream;  // of the messages that carry a key
};

std::vector<Message> received(const std::string &output)
{
    std::vector<Message> out;
    std::ifstream in(output);
    const std::string root = std::string(kPrefix) + '/';
    for (std::string line; std::getline(in, line);) {
        const std::size_t space = line.find(' ');
        if (!line.starts_with(root) || space == std::string::npos)
            continue;
        Message m{line.substr(root.size(), space - root.size()), -1, line.substr(space + 1), {}};
        // A live message repeats a reading's payload outside the outbox's
        // order.
        if (m.topic != "live" && m.payload.starts_with("{\"seq\":"))
            m.seq = std::atol(m.payload.c_str() + 7);
        const std::size_t stream = m.payload.find(",\"stream\":\"");
        if (m.payload.starts_with("{\"seq\":") && stream < 32)
            m.stream = m.payload.substr(stream + 11, m.payload.find('"', stream + 11) - stream - 11);
        out.push_back(std::move(m));
    }
    return out;
}

// The sequence numbers of the readings, in the order they arrived.
std::vector<long> sequences(const std::vector<Message> &messages)
{
    std::vector<long> out;
    for (const Message &m : messages)
        if (m.topic == "reading")
            out.push_back(m.seq);
    return out;
}

std::string joined(const std::vector<Message> &messages)
{
    std::string all;
    for (const Message &m : messages)
        all += m.topic + ' ' + m.payload + '\n';
    return all.size() > 4000 ? all.substr(0, 4000) + "..." : all;
}

// At least once and in order: every number from `first` to `last` arrives,
// and each number arriving for the first time is above all that came
// before it (a repeat of an earlier one is allowed, with the same payload).
void expectEveryMessageInOrder(const std::vector<Message> &messages, long first, long last)
{
    std::map<long, std::string> seen;
    long highest = first - 1, late = 0, changed = 0;
    for (const Message &m : messages) {
        if (m.seq < 0)
            continue;
        const auto [at, fresh] = seen.emplace(m.seq, m.payload);
        if (fresh) {
            late += m.seq < highest;
            highest = std::max(highest, m.seq);
        } else {
            changed += at->second != m.payload;
        }
    }
    long missing = 0;
    for (long s = first; s <= last; ++s)
        missing += !seen.count(s);
    EXPECT_EQ(late, 0) << "messages that arrived after a later one";
    EXPECT_EQ(missing, 0) << "messages that never arrived, of " << first << " to " << last;
    EXPECT_EQ(changed, 0) << "numbers that arrived twice with different messages";
}

// What a consumer that drops repeats by the key (stream, seq) relies on: no
// key ever comes with two different messages; every key is a stream of 32
// lowercase hexadecimal digits and a number; within a stream, each number
// arriving for the first time is the one after the last.  The streams in
// the order they first came.
std::vector<std::string> expectKeysNeverRepeat(const std::vector<Message> &messages)
{
    std::map<std::pair<std::string, long>, std::string> seen;
    std::map<std::string, long> last;
    std::vector<std::string> streams;
    const std::regex hex("[0-9a-f]{32}");
    for (const Message &m : messages) {
        if (m.seq < 0)
            continue;
        EXPECT_TRUE(std::regex_match(m.stream, hex)) << m.payload;
        const auto [at, fresh] = seen.emplace(std::pair{m.stream, m.seq}, m.payload);
        if (!fresh) {
            EXPECT_EQ(at->second, m.payload) << "one key, two messages";
            continue;
        }
        const auto [previous, first] = last.emplace(m.stream, m.seq);
        if (first)
            streams.push_back(m.stream);
        else
            EXPECT_EQ(m.seq, previous->second + 1) << "in stream " << m.stream;
        previous->second = m.seq;
    }
    return streams;
}

// The stream of each reading, in the order they arrived.
std::vector<std::string> readingStreams(const std::vector<Message> &messages)
{
    std::vector<std::string> out;
    for (const Message &m : messages)
        if (m.topic == "reading")
            out.push_back(m.stream);
    return out;
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
        EXPECT_TRUE(rte::testing::publishingEnded(30)) << "the sender did not end";
        removeFiles();
        ProgramTest::TearDown();
    }
    void secondCopyLeavesTheOutboxToTheFirst(bool deleteLock);
    static std::string settingsFile(const char *name)
    {
        char path[kPathSize];
        settings_file_path(name, path);
        return path;
    }
    static void removeFiles()
    {
        const fs::path folder = fs::path(settingsFile("vandrel-outbox.sqlite")).parent_path();
        for (const auto &entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("vandrel-outbox.") || name.starts_with("vandrel-publish."))
                fs::remove_all(entry.path());
        }
    }
    void configure(int port, const std::string &user = "", const std::string &password = "",
                   const std::string &caFile = "", int storeLimit = 0)
    {
        publish_settings_load();
        publishing.store_limit = storeLimit;
        publishing.enabled = 1;
        std::snprintf(publishing.host, sizeof publishing.host, "%s", caFile.empty() ? "127.0.0.1" : "localhost");
        publishing.port = port;
        publishing.tls = !caFile.empty();
        std::snprintf(publishing.ca_file, sizeof publishing.ca_file, "%s", caFile.c_str());
        std::snprintf(publishing.user, sizeof publishing.user, "%s", user.c_str());
        std::snprintf(publishing.password, sizeof publishing.password, "%s", password.c_str());
        std::snprintf(publishing.prefix, sizeof publishing.prefix, "%s", kPrefix);
        std::snprintf(publishing.client_id, sizeof publishing.client_id, "publish-test");
    }
    // Publishing on to the broker, saved and started as the panel does.
    void publishTo(const support::MqttBroker &broker, const std::string &user = "",
                   const std::string &password = "", const std::string &caFile = "", int storeLimit = 0)
    {
        configure(broker.port(), user, password, caFile, storeLimit);
        ASSERT_EQ(publish_settings_save(), 0);
        publish_start();
    }
    bool connected()
    {
        return support::sleepUntil([] { return MqttState() == kMqttConnected; }, 30s);
    }
    // Waits until the messages from `first` to `last` have all arrived.
    bool arrived(const std::string &output, long first, long last, std::chrono::seconds limit = 60s)
    {
        return support::sleepUntil(
            [&] {
                std::set<long> seen;
                for (const Message &m : received(output))
                    seen.insert(m.seq);
                for (long n = first; n <= last; ++n)
                    if (!seen.count(n))
                        return false;
                return true;
            },
            limit);
    }
    std::string brokerDir(const std::string &name)
    {
        const std::string path = dir.file(name);
        fs::create_directories(path);
        return path;
    }
    // A broker with a subscriber whose session it keeps, both ready, then
    // the broker stopped: what is published while it is down reaches the
    // subscriber once it is back.
    struct DownBroker {
        explicit DownBroker(const std::string &dir) : broker(dir) {}
        support::MqttBroker broker;
        std::unique_ptr<support::MqttSubscriber> subscriber;
    };
    std::unique_ptr<DownBroker> downBroker(const std::string &name)
    {
        auto b = std::make_unique<DownBroker>(brokerDir(name));
        EXPECT_TRUE(b->broker.start());
        b->subscriber = std::make_unique<support::MqttSubscriber>(b->broker, kPrefix, dir.file(name + ".received"));
        EXPECT_TRUE(b->subscriber->ready());
        b->broker.stop();
        return b;
    }
    // A round of a table of cases, afresh: publishing stopped and its files
    // removed, then publishing again, to a broker of its own that is down.
    std::unique_ptr<DownBroker> newRound(const std::string &name)
    {
        publish_stop();
        EXPECT_TRUE(rte::testing::publishingEnded(30));
        removeFiles();
        auto down = downBroker(name);
        publishTo(down->broker);
        return down;
    }
    // A broker that runs, with a subscriber ready (its output in
    // "<name>.received"), and publishing connected to it.
    std::unique_ptr<DownBroker> brokerConnected(const std::string &name)
    {
        auto b = std::make_unique<DownBroker>(brokerDir(name));
        EXPECT_TRUE(b->broker.start());
        b->subscriber = std::make_unique<support::MqttSubscriber>(b->broker, kPrefix, dir.file(name + ".received"));
        EXPECT_TRUE(b->subscriber->ready());
        publishTo(b->broker);
        EXPECT_TRUE(connected()) << condition();
        return b;
    }
};

TEST_F(Publishing, ABrokerRestartedInTheMiddleOfARecordedRunLosesNoReading)
{
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal == SIGTERM ? "stopped" : "killed");
        publish_stop();
        ASSERT_TRUE(rte::testing::publishingEnded(30));
        removeFiles();
        support::TempDir runDir;
        const std::string brokerPath = runDir.file("broker");
        fs::create_directories(brokerPath);
        support::MqttBroker broker(brokerPath);
        ASSERT_TRUE(broker.start());
        const std::string output = runDir.file("received");
        support::MqttSubscriber sub(broker, kPrefix, output);
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
            ASSERT_TRUE(arrived(output, 1, 10));
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

        // A first start: the numbers begin at 1.
        ASSERT_TRUE(arrived(output, 1, 30)) << joined(received(output));
        expectEveryMessageInOrder(received(output), 1, 30);
        EXPECT_EQ(readLines(runDir.file("run.dat")).size(), 30u) << "the recording went on";
        const auto messages = received(output);
        const auto status = std::find_if(messages.rbegin(), messages.rend(), [](const Message &m) { return m.topic == "status"; });
        ASSERT_NE(status, messages.rend());
        EXPECT_EQ(status->payload, "online");
        rte::testing::operate(state.main_panel, kMainStop);
    }
}

TEST_F(Publishing, ReadingsTakenWhileTheBrokerIsDownArriveAlsoAcrossARestartOfTheProgram)
{
    const auto down = downBroker("broker");
    // Numbered by an earlier version in a file of its own: the outbox goes
    // on above the numbers handed out there.
    std::ofstream(settingsFile("vandrel-publish.seq")) << "1042\n";
    publishTo(down->broker);
    startRun(dir.file("run.dat"));
    for (int t = 1; t < 5; ++t)
        tickAt(t);
    EXPECT_EQ(condition(), "Connecting to the broker; readings are kept until it answers. 5 messages wait in the "
                           "outbox.");
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    publish_start();
    EXPECT_EQ(condition(), "Connecting to the broker; readings are kept until it answers. 5 messages wait in the "
                           "outbox.")
        << "the readings kept are read back whole";
    for (int t = 5; t < 8; ++t)
        tickAt(t);
    ASSERT_TRUE(down->broker.start());

    const std::string output = dir.file("broker.received");
    ASSERT_TRUE(arrived(output, 1042, 1049)) << joined(received(output));
    expectEveryMessageInOrder(received(output), 1042, 1049);
    EXPECT_TRUE(support::sleepUntil([] { return GetOutboxStatus().waiting == 0; })) << condition();
    EXPECT_EQ(condition(), "Connected to the broker.");
}

TEST_F(Publishing, EachReadingSaysWhatTheAnalyserAnswered)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    const std::string output = dir.file("received");
    support::MqttSubscriber sub(broker, kPrefix, output);
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
        R"re(^\{"seq":\d+,"stream":"[0-9a-f]{32}","time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z","elapsed":([0-9.]+),"quantity":"oxygen","unit":"ppm","value":([^,]+),"status":"(\w+)"\}$)re");
    ASSERT_TRUE(support::sleepUntil([&] { return sequences(received(output)).size() >= 3; }, 30s));
    std::vector<std::vector<std::string>> seen;
    for (const Message &m : received(output)) {
        std::smatch match;
        if (m.topic == "reading" && std::regex_match(m.payload, match, reading))
            seen.push_back({match[1], match[2], match[3]});
    }
    ASSERT_EQ(seen.size(), 3u) << joined(received(output));
    EXPECT_EQ(seen[0][0], "0.000");
    EXPECT_NE(seen[0][1], "null");
    EXPECT_EQ(seen[0][2], "ok");
    EXPECT_EQ(seen[1][0], "1.000");
    EXPECT_EQ(seen[1][1], "null");
    EXPECT_EQ(seen[1][2], "bad_reply");
    EXPECT_EQ(seen[2][1], "null") << "nan is not a JSON number";
    EXPECT_EQ(seen[2][2], "no_number");
}

TEST_F(Publishing, AlarmEventsGoToTheirOwnTopicNumberedWithTheReadings)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    const std::string output = dir.file("received");
    support::MqttSubscriber sub(broker, kPrefix, output);
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
        R"re(^\{"seq":(\d+),"stream":"[0-9a-f]{32}","time":"[0-9T:.-]+Z","elapsed":([0-9.]+),"event":"(\w+)","quantity":"oxygen","value":([^,]+),"limit":([^,]+)\}$)re");
    std::vector<std::string> seen;
    ASSERT_TRUE(support::sleepUntil(
        [&] {
            seen.clear();
            for (const Message &m : received(output)) {
                std::smatch match;
                if (m.topic == "alarm" && std::regex_match(m.payload, match, alarm))
                    seen.push_back(match.str(1) + " " + match.str(2) + " " + match.str(3) + " " + match.str(4) +
                                   " " + match.str(5));
            }
            return seen.size() == 3;
        },
        30s))
        << joined(received(output));
    // The reading is number 1, its alarm 2, the stop 3, the seal's end 4: one
    // numbering for every message.
    EXPECT_TRUE(std::regex_match(seen[0], std::regex(R"(2 0\.\d{3} alarm_high \d{4,}(\.\d+)? 10)"))) << seen[0];
    // Stopped while the alarm was in force.
    EXPECT_TRUE(std::regex_match(seen[1], std::regex(R"(3 \d+\.\d{3} stopped \d{4,}(\.\d+)? 10)"))) << seen[1];
    EXPECT_EQ(seen[2], "5 43.000 no_answer null null");
    expectEveryMessageInOrder(received(output), 1, 5);
}

// The seal's entries on a topic of their own, each as the run file holds
// it and in the order written: a witness outside the computer holds the
// chain.  130 readings a second apart: entries after lines 61 and 121, and
// the end after line 130.
TEST_F(Publishing, TheSealsEntriesReachTheirOwnTopicAsTheRunFileHoldsThem)
{
    const auto b = brokerConnected("seal");
    settings.interval = 1.0;
    startRun(dir.file("run.dat"));
    for (int k = 1; k < 130; ++k)
        tickAt(k + 0.01);
    rte::testing::operate(state.main_panel, kMainStop);
    std::vector<std::string> written;
    std::ifstream info(dir.file("run.info"));
    for (std::string line; std::getline(info, line);) {
        SealEntry entry;
        if (line.starts_with("seal=") && read_seal_entry(std::string_view(line).substr(5), entry))
            written.push_back("\"time\":\"" + entry.time_utc + "\",\"kind\":\"" + entry.kind + "\",\"lines\":" +
                              std::to_string(entry.lines) + ",\"bytes\":" + std::to_string(entry.bytes) +
                              ",\"sha256\":\"" + entry.hash + "\"}");
    }
    ASSERT_EQ(written.size(), 3u);
    const std::string output = dir.file("seal.received");
    const std::regex numbered(R"re(^\{"seq":(\d+),"stream":"[0-9a-f]{32}",(.*)$)re");
    std::vector<std::string> seen;
    std::vector<long> seqs;
    ASSERT_TRUE(support::sleepUntil(
        [&] {
            seen.clear();
            seqs.clear();
            for (const Message &m : received(output)) {
                std::smatch match;
                if (m.topic == "seal" && std::regex_match(m.payload, match, numbered)) {
                    seqs.push_back(std::stol(match.str(1)));
                    seen.push_back(match.str(2));
                }
            }
            return seen.size() >= written.size();
        },
        30s))
        << joined(received(output));
    EXPECT_EQ(seen, written);
    EXPECT_TRUE(std::is_sorted(seqs.begin(), seqs.end()));
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
    EXPECT_EQ(fs::status(settingsFile("vandrel-publish.ini")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

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

TEST_F(Publishing, ADamagedOutboxIsMovedAsideAndPublishingGoesOnAboveItsNumbers)
{
    const auto down = downBroker("broker");
    publishTo(down->broker);
    startRun(dir.file("run.dat"));
    for (int t = 1; t < 3; ++t)
        tickAt(t);
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    const std::string outbox = settingsFile("vandrel-outbox.sqlite");
    {
        std::fstream file(outbox, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(0);
        file << "not a database, whatever it was";
    }

    publish_start();
    const std::string said = condition();
    std::smatch aside;
    EXPECT_TRUE(std::regex_search(said, aside, std::regex(R"(The outbox was damaged: it was moved aside to (.*/vandrel-outbox\.sqlite\.damaged-\d{8}T\d{6}) and a new one started\.$)")))
        << said;
    tickAt(3);
    ASSERT_TRUE(down->broker.start());
    const std::string output = dir.file("broker.received");
    ASSERT_TRUE(support::sleepUntil([&] { return !sequences(received(output)).empty(); }, 30s));
    EXPECT_TRUE(connected());
    // What the damaged file held is lost, and the numbers go on above every
    // one it could have handed out: the clock's milliseconds.
    EXPECT_GT(sequences(received(output)).front(), 1'700'000'000'000L);
    EXPECT_EQ(readLines(dir.file("run.dat")).size(), 4u) << "the recording went on";
    EXPECT_TRUE(fs::exists(aside.str(1))) << "the damaged file is kept";
}

// Overwrites `length` bytes of a file at `at` (from its end when
// negative), as a failing disk or a stray write would.
void overwrite(const std::string &path, long at, long length)
{
    const auto size = static_cast<long>(fs::file_size(path));
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(at < 0 ? size + at : at);
    file << std::string(static_cast<std::size_t>(length), '\xa5');
}

// The rows SQLite itself still reads from a file, looked up one number at
// a time: what a damaged outbox holds that can be carried.
std::map<long, std::string> readableRows(const std::string &path, long last)
{
    std::map<long, std::string> rows;
    sqlite3 *db = nullptr;
    sqlite3_stmt *lookup = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT payload FROM outbox WHERE seq = ?1", -1, &lookup, nullptr) == SQLITE_OK) {
        for (long seq = 1; seq <= last; ++seq) {
            sqlite3_bind_int64(lookup, 1, seq);
            if (sqlite3_step(lookup) == SQLITE_ROW)
                rows[seq] = reinterpret_cast<const char *>(sqlite3_column_text(lookup, 0));
            sqlite3_reset(lookup);
        }
    }
    sqlite3_finalize(lookup);
    sqlite3_close(db);
    return rows;
}

// A backlog damaged in the middle, found only when the sender reaches it
// (the start reads the file's ends alone), or in the table of its numbers,
// found at the start: every row that can still be read arrives, once in
// order, with the key it was stored with; what cannot be read is counted
// as dropped, said on the panel and told the broker; the numbers go on
// above the damaged file's in a new stream.
TEST_F(Publishing, AnOutboxFoundDamagedWhileItIsSentCarriesOverEveryReadableMessage)
{
    const long total = 3000;
    const struct {
        const char *what;
        std::vector<std::pair<long, long>> stretches;  // byte offset, length
    } damages[] = {
        {"4 KiB at byte 163,840", {{40 * 4096, 4096}}},
        {"a page in every ten past the hundredth", {}},
        {"the last 64 KiB", {{-65536, 65536}}},
        {"the table of its numbers, the third page", {{2048, 1024}}},
    };
    int round = 0;
    for (const auto &damage : damages) {
        SCOPED_TRACE(damage.what);
        const std::string name = "broker" + std::to_string(++round);
        const auto down = newRound(name);
        startRun();
        ASSERT_EQ(rte::testing::holdOutboxCommits(true), 0);
        for (long k = 1; k < total; ++k)
            publish_reading();
        ASSERT_EQ(rte::testing::holdOutboxCommits(false), 0);
        publish_stop();
        ASSERT_TRUE(rte::testing::publishingEnded(30));
        const std::string outbox = settingsFile("vandrel-outbox.sqlite");
        auto stretches = damage.stretches;
        if (stretches.empty())
            for (long page = 100; page * 1024 < static_cast<long>(fs::file_size(outbox)); page += 10)
                stretches.emplace_back(page * 1024, 1024);
        for (const auto &[at, length] : stretches)
            overwrite(outbox, at, length);
        const std::string copy = dir.file(name + ".damaged");
        fs::copy_file(outbox, copy);
        const auto readable = readableRows(copy, total);
        const long unreadable = total - static_cast<long>(readable.size());
        ASSERT_GT(readable.size(), 0u);

        publish_start();
        ASSERT_TRUE(down->broker.start());
        ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().faults & kOutboxDamaged; }, 30s)) << condition();
        tickAt(1);
        tickAt(2);
        const std::string output = dir.file(name + ".received");
        // What has not arrived yet, of the readable rows and the new ones.
        const auto missing = [&] {
            std::set<long> seen;
            for (const Message &m : received(output))
                seen.insert(m.seq);
            std::string text = "missing:";
            for (long n = 1; n <= total + 2; ++n)
                if (!seen.count(n) && (n > total || readable.count(n)))
                    text += ' ' + std::to_string(n);
            return text;
        };
        ASSERT_TRUE(support::sleepUntil(
            [&] {
                std::set<long> seen;
                for (const Message &m : received(output))
                    seen.insert(m.seq);
                return GetOutboxStatus().waiting == 0 && seen.count(total + 2) &&
                       std::all_of(readable.begin(), readable.end(), [&](const auto &r) { return seen.count(r.first); });
            },
            60s))
            << condition() << '\n'
            << missing() << '\n'
            << joined(received(output));

        const auto messages = received(output);
        // Once each in order, as stored, and nothing that could not be read.
        std::set<long> seen;
        long late = 0, changed = 0, highest = 0;
        std::string oldStream, newStream;
        for (const Message &m : messages) {
            if (m.topic != "reading")
                continue;
            (m.seq > total ? newStream : oldStream) = m.stream;
            if (m.seq > total)
                continue;
            const auto stored = readable.find(m.seq);
            ASSERT_NE(stored, readable.end()) << "an unreadable row arrived: " << m.payload;
            changed += stored->second != m.payload;
            if (seen.insert(m.seq).second) {
                late += m.seq < highest;
                highest = m.seq;
            }
        }
        EXPECT_EQ(seen.size(), readable.size());
        EXPECT_EQ(late, 0) << "messages that arrived after a later one";
        EXPECT_EQ(changed, 0) << "messages that arrived otherwise than stored";
        EXPECT_EQ(sequences(messages).back(), total + 2) << "the numbers go on above the damaged file's";
        EXPECT_NE(newStream, oldStream) << "in a stream of their own";

        // The count is of the messages that never reached the broker.
        long told = 0, firstTold = total, lastTold = 0;
        for (const Message &m : messages) {
            std::smatch d;
            if (m.topic == "dropped" &&
                std::regex_match(m.payload, d,
                                 std::regex(R"re(\{"time":"[0-9T:.-]+Z","dropped":(\d+),"first_seq":(\d+),"last_seq":(\d+)\})re"))) {
                told += std::stol(d.str(1));
                firstTold = std::min(firstTold, std::stol(d.str(2)));
                lastTold = std::max(lastTold, std::stol(d.str(3)));
            }
        }
        long firstLost = 0, lastLost = 0;
        for (long n = 1; n <= total; ++n)
            if (!readable.count(n)) {
                firstLost = firstLost ? firstLost : n;
                lastLost = n;
            }
        EXPECT_EQ(told, unreadable) << joined(messages);
        if (unreadable > 0) {
            EXPECT_EQ(firstTold, firstLost);
            EXPECT_EQ(lastTold, lastLost);
        }
        EXPECT_EQ(GetOutboxStatus().unreadable, unreadable);
        std::smatch said;
        const std::string text = condition();
        ASSERT_TRUE(std::regex_search(
            text, said,
            std::regex(R"( The outbox was damaged: it was moved aside to .*/vandrel-outbox\.sqlite\.damaged-\d{8}T\d{6} )"
                       R"(and a new one started\. (\d+) of its messages were carried over(; (\d+) could not be read )"
                       R"(and were dropped)?\.$)")))
            << text;
        EXPECT_LE(std::stol(said.str(1)), static_cast<long>(readable.size()));
        EXPECT_EQ(said[3].matched ? std::stol(said.str(3)) : 0L, unreadable);
        rte::testing::operate(state.main_panel, kMainStop);
    }
}

// Drops the broker was not told of yet, in an outbox then found damaged
// at the start (the table of its numbers, the third page): told once, and
// the messages after the gap carried over.
TEST_F(Publishing, DropsNotYetToldInADamagedOutboxAreStillTold)
{
    const auto down = downBroker("broker");
    publishTo(down->broker, "", "", "", 4);
    startRun();
    for (int t = 1; t < 8; ++t)
        tickAt(t);
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    overwrite(settingsFile("vandrel-outbox.sqlite"), 2 * 1024, 1024);
    publish_start();
    EXPECT_TRUE(GetOutboxStatus().faults & kOutboxDamaged) << condition();
    ASSERT_TRUE(down->broker.start());
    const std::string output = dir.file("broker.received");
    ASSERT_TRUE(arrived(output, 5, 8)) << joined(received(output));
    ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().waiting == 0; })) << condition();
    const auto messages = received(output);
    EXPECT_EQ(sequences(messages), (std::vector<long>{5, 6, 7, 8})) << joined(messages);
    std::vector<std::string> told;
    for (const Message &m : messages)
        if (m.topic == "dropped")
            told.push_back(m.payload);
    ASSERT_EQ(told.size(), 1u) << joined(messages);
    EXPECT_TRUE(std::regex_match(told[0],
                                 std::regex(R"re(\{"time":"[0-9T:.-]+Z","dropped":4,"first_seq":1,"last_seq":4\})re")))
        << told[0];
}

TEST_F(Publishing, AnOutboxThatCannotBeOpenedIsReportedAndTheRunGoesOn)
{
    // A folder where the outbox's file belongs: no database can be made.
    fs::create_directories(settingsFile("vandrel-outbox.sqlite"));
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    publishTo(broker);
    EXPECT_EQ(condition(), "Publishing cannot start: the outbox cannot be opened in the settings folder.");
    startRun(dir.file("run.dat"));
    tickAt(1);
    EXPECT_EQ(readLines(dir.file("run.dat")).size(), 2u) << "the recording went on";
}

TEST_F(Publishing, ThePanelSavesTheSettingsPublishesWithThemAndShowsTheCondition)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    const std::string output = dir.file("received");
    support::MqttSubscriber sub(broker, kPrefix, output);
    ASSERT_TRUE(sub.ready());
    publish_start();
    rte::testing::activateMenuItem(state.menu_bar, kMainPublishingItem);
    const int panel = publish_panel();
    ASSERT_TRUE(rte::testing::panelVisible(panel));
    const auto text = [panel](int control) {
        char value[kConditionSize];
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
    ASSERT_TRUE(support::sleepUntil([&] { return !sequences(received(output)).empty(); }, 30s));
    // Applying again during the run: the numbers count on.
    rte::testing::operate(panel, kPublishingApply);
    tickAt(1);
    ASSERT_TRUE(support::sleepUntil([&] { return sequences(received(output)).size() >= 2; }, 30s));
    EXPECT_EQ(sequences(received(output)), (std::vector<long>{1, 2}));
    const auto streams = readingStreams(received(output));
    EXPECT_EQ(streams[0], streams[1]) << "one outbox, open all along: one stream";
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

TEST_F(Publishing, AFullOutboxDropsTheOldestSaysHowManyAndTellsTheBroker)
{
    const auto down = downBroker("broker");
    publishTo(down->broker, "", "", "", 4);
    startRun();
    for (int t = 1; t < 4; ++t)
        tickAt(t);
    EXPECT_EQ(condition(), "Connecting to the broker; readings are kept until it answers. 4 messages wait in the "
                           "outbox.");
    for (int t = 4; t < 8; ++t)
        tickAt(t);
    EXPECT_EQ(condition(), "Connecting to the broker; readings are kept until it answers. 4 messages wait in the "
                           "outbox. The outbox was full: the oldest 4 messages were dropped.");
    ASSERT_TRUE(down->broker.start());
    ASSERT_TRUE(connected());
    tickAt(8);
    // The eight readings of the outage, the last four kept, then one more;
    // before them, how many went.
    const std::string output = dir.file("broker.received");
    ASSERT_TRUE(arrived(output, 5, 9)) << joined(received(output));
    const auto messages = received(output);
    EXPECT_EQ(sequences(messages), (std::vector<long>{5, 6, 7, 8, 9})) << joined(messages);
    const auto dropped = std::find_if(messages.begin(), messages.end(), [](const Message &m) { return m.topic == "dropped"; });
    ASSERT_NE(dropped, messages.end()) << joined(messages);
    EXPECT_TRUE(std::regex_match(dropped->payload,
                                 std::regex(R"re(\{"time":"[0-9T:.-]+Z","dropped":4,"first_seq":1,"last_seq":4\})re")))
        << dropped->payload;
    EXPECT_LT(dropped - messages.begin(),
              std::find_if(messages.begin(), messages.end(), [](const Message &m) { return m.topic == "reading"; }) -
                  messages.begin())
        << "told before the readings that follow the gap";
}

TEST_F(Publishing, AnOutboxOnAFullDiskSaysReadingsAreNotStoredWhileTheRunAndTheRecordingGoOn)
{
    // Nothing listens on the port of a broker that never starts.
    const support::MqttBroker nobody(brokerDir("broker"));
    const int cycles = 200;
    const std::string recording = dir.file("run.dat");
    // The analyser belongs to the child.
    CloseCom(settings.com_port);
    state.port_open = 0;
    support::ChildProcess child({PUBLISHING_PROGRAM, sim->linkPath(), recording, std::to_string(nobody.port()),
                                 std::to_string(cycles), "--full-disk"},
                                dir.file("report"));
    ASSERT_TRUE(support::sleepUntil([&] { return !child.running(); }, 120s));
    const auto report = readLines(dir.file("report"));
    ASSERT_FALSE(report.empty());
    ASSERT_FALSE(report[0].starts_with("unavailable")) << report[0];
    ASSERT_EQ(report.back(), "done") << report.back();
    const std::string last = report[report.size() - 2];
    EXPECT_TRUE(last.starts_with(std::to_string(cycles - 1) + "\t")) << last;
    EXPECT_NE(last.find("Readings are not stored: the outbox cannot be written (is the disk full?)."),
              std::string::npos)
        << last;
    EXPECT_EQ(readLines(recording).size(), static_cast<std::size_t>(cycles)) << "the recording went on";
}

TEST_F(Publishing, ABacklogBeyondSixtyFiveThousandMessagesArrivesWholeAndInOrder)
{
    // Paho's own offline buffer stops at 65,535 messages: the outbox has no
    // such edge.
    constexpr long kBacklog = 100'000;
    const auto down = downBroker("broker");
    publishTo(down->broker);
    startRun();
    ASSERT_EQ(rte::testing::holdOutboxCommits(true), 0);
    for (long k = 2; k <= kBacklog; ++k) {
        state.t_elapsed = k;
        publish_reading();
    }
    ASSERT_EQ(rte::testing::holdOutboxCommits(false), 0);
    EXPECT_EQ(GetOutboxStatus().waiting, kBacklog);
    // Across a restart of the program too: the program before it has
    // ended, its sender with it.
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    ASSERT_TRUE(down->broker.start());
    publish_start();
    ASSERT_EQ(GetOutboxStatus().waiting, kBacklog) << condition();
    ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().waiting == 0; }, 300s)) << condition();
    // The subscriber writes each message to a file: on a loaded machine it
    // may trail the broker by a minute or more.  The file grows to
    // megabytes, so it is counted once a second, not at every poll, which
    // would take the processor from the subscriber waited for.
    const std::string output = dir.file("broker.received");
    auto counted = std::chrono::steady_clock::now();
    ASSERT_TRUE(support::sleepUntil(
        [&] {
            if (std::chrono::steady_clock::now() < counted)
                return false;
            counted = std::chrono::steady_clock::now() + 1s;
            std::ifstream in(output, std::ios::binary);
            const std::string all{std::istreambuf_iterator<char>(in), {}};
            const std::string reading = std::string(kPrefix) + "/reading ";
            long readings = 0;
            for (std::size_t at = all.find(reading); at != std::string::npos; at = all.find(reading, at + 1))
                ++readings;
            return readings >= kBacklog;
        },
        300s));
    expectEveryMessageInOrder(received(output), 1, kBacklog);
}

TEST_F(Publishing, WaitingMessagesGoToTheBrokerConfiguredWhenTheyAreSent)
{
    const auto first = downBroker("first");
    publishTo(first->broker);
    startRun();
    for (int t = 1; t < 13; ++t)
        tickAt(t);
    EXPECT_EQ(GetOutboxStatus().waiting, 13);
    support::MqttBroker second(brokerDir("second"));
    ASSERT_TRUE(second.start());
    const std::string output = dir.file("second.received");
    support::MqttSubscriber sub(second, kPrefix, output);
    ASSERT_TRUE(sub.ready());
    publishTo(second);
    ASSERT_TRUE(arrived(output, 1, 13)) << joined(received(output));
    expectEveryMessageInOrder(received(output), 1, 13);
}

TEST_F(Publishing, AProgramKilledWithABacklogLosesNothingAndRepeatsNoNumber)
{
    const auto down = downBroker("broker");
    configure(down->broker.port());
    ASSERT_EQ(publish_settings_save(), 0);
    CloseCom(settings.com_port);
    state.port_open = 0;
    // The child stores a reading a cycle, each synced before its report
    // line; killed outright after some fifty.
    {
        support::ChildProcess child({PUBLISHING_PROGRAM, sim->linkPath(), dir.file("killed.dat"),
                                     std::to_string(down->broker.port()), "0"},
                                    dir.file("report"));
        ASSERT_TRUE(support::sleepUntil([&] { return readLines(dir.file("report")).size() >= 50; }, 60s));
        child.signal(SIGKILL);
        ASSERT_TRUE(support::sleepUntil([&] { return !child.running(); }));
    }
    const long reported = static_cast<long>(readLines(dir.file("report")).size());
    // Started again: the killed program's readings wait, each it reported
    // and the run's first, which came before the reports; then five more.
    ComOpen();
    publish_start();
    const long stored = GetOutboxStatus().waiting;
    EXPECT_GE(stored, reported + 1);
    startRun();
    for (int t = 1; t < 5; ++t)
        tickAt(t);
    ASSERT_TRUE(down->broker.start());
    const std::string output = dir.file("broker.received");
    ASSERT_TRUE(arrived(output, 1, stored + 5)) << joined(received(output));
    expectEveryMessageInOrder(received(output), 1, stored + 5);
    EXPECT_EQ(sequences(received(output)).back(), stored + 5) << "no number beyond the last";
}

// A library that publishing loads when it starts, missing from the
// computer: the panel names it and the package that brings it, instead of
// blaming the settings or the outbox.
TEST_F(Publishing, AMissingLibraryIsNamedOnThePanelWithItsPackage)
{
    struct Case {
        const char *present;  // the one library the child finds
        const char *said;
    };
    const Case cases[] = {
        {"libsqlite3.so.0",
         "Publishing cannot start: the MQTT library (libpaho-mqtt3as.so.1) is missing: install the package "
         "libpaho-mqtt1.3."},
        {"libpaho-mqtt3as.so.1",
         "Publishing cannot start: SQLite (libsqlite3.so.0) is missing: install the package libsqlite3-0."},
    };
    const auto down = downBroker("broker");
    CloseCom(settings.com_port);
    state.port_open = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.present);
        const std::string folder = dir.file(std::string("libraries-") + c.present);
        fs::create_directories(folder);
        // Where this computer keeps it.
        void *library = ::dlopen(c.present, RTLD_LAZY | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << ::dlerror();
        link_map *map = nullptr;
        ASSERT_EQ(::dlinfo(library, RTLD_DI_LINKMAP, &map), 0) << ::dlerror();
        fs::create_symlink(map->l_name, folder + "/" + c.present);
        ::dlclose(library);
        const std::string report = dir.file(std::string("report-") + c.present);
        ::setenv("VANDREL_PUBLISH_LIBRARY_FOLDER", folder.c_str(), 1);
        {
            support::ChildProcess child({PUBLISHING_PROGRAM, sim->linkPath(), dir.file(std::string("missing-") + c.present + ".dat"),
                                         std::to_string(down->broker.port()), "2"},
                                        report);
            ::unsetenv("VANDREL_PUBLISH_LIBRARY_FOLDER");
            ASSERT_TRUE(support::sleepUntil([&] { return !child.running(); }, 60s));
        }
        const auto lines = readLines(report);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].substr(lines[0].rfind('\t') + 1), c.said) << lines[0];
        removeFiles();
    }
}

// A second copy of the program, on a second analyser, started from the
// first one's folder while the first publishes: it says so and stores and
// sends nothing, and the first's messages all arrive.  With `deleteLock`
// the second deletes the lock file's name the moment before it opens the
// outbox, and the first locks a new one.
void Publishing::secondCopyLeavesTheOutboxToTheFirst(bool deleteLock)
{
    const auto down = downBroker("broker");
    publishTo(down->broker);
    startRun();
    for (int t = 1; t < 3; ++t)
        tickAt(t);
    support::SimulatedAnalyser second({"--no-pacing"});
    {
        std::vector<std::string> argv{PUBLISHING_PROGRAM, second.linkPath(), dir.file("second.dat"),
                                      std::to_string(down->broker.port()), "3"};
        if (deleteLock)
            argv.push_back("--delete-lock");
        support::ChildProcess child(argv, dir.file("report"));
        ASSERT_TRUE(support::sleepUntil([&] { return !child.running(); }, 60s));
    }
    const auto report = readLines(dir.file("report"));
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[1], "2\t0\tAnother copy of the program on this computer publishes from this settings folder; "
                         "this copy does not publish.");
    if (deleteLock) {
        EXPECT_TRUE(support::sleepUntil([&] { return fs::exists(settingsFile("vandrel-outbox.sqlite.lock")); }))
            << "the first copy locks a new lock file";
    }
    for (int t = 3; t < 5; ++t)
        tickAt(t);
    ASSERT_TRUE(down->broker.start());
    const std::string output = dir.file("broker.received");
    ASSERT_TRUE(arrived(output, 1, 5)) << joined(received(output));
    EXPECT_EQ(sequences(received(output)), (std::vector<long>{1, 2, 3, 4, 5})) << "nothing of the second copy's";
}

TEST_F(Publishing, ASecondCopyOfTheProgramSaysSoAndLeavesTheOutboxToTheFirst)
{
    secondCopyLeavesTheOutboxToTheFirst(false);
}

// Each cycle against the simulated analyser says what the exchange gave.
// A reply that answers but holds no number leaves the display and the
// recording with the previous value; the message says there is no reading.
TEST_F(Publishing, EachCycleSaysWhetherItGaveAReading)
{
    const auto broker = brokerConnected("broker");
    const std::string output = dir.file("broker.received");
    const struct {
        const char *simMode;
        const char *status;
    } cycles[] = {
        {"letter-only", "no_number"}, {"nan", "no_number"},   {"wrong-letter", "bad_reply"},
        {"silent", "no_connection"},  {"normal", "ok"},
    };
    startRun(dir.file("run.dat"));  // the first cycle: a reading
    int t = 1;
    for (const auto &cycle : cycles) {
        sim->setMode(cycle.simMode);
        tickAt(t++);
    }
    const std::regex reading(R"re(^\{"seq":\d+,.*"value":([^,]+),"status":"(\w+)"\}$)re");
    std::vector<std::pair<std::string, std::string>> seen;
    ASSERT_TRUE(support::sleepUntil(
        [&] {
            seen.clear();
            for (const Message &m : received(output)) {
                std::smatch match;
                if (m.topic == "reading" && std::regex_match(m.payload, match, reading))
                    seen.emplace_back(match[1], match[2]);
            }
            return seen.size() == 6;
        },
        30s))
        << joined(received(output));
    EXPECT_EQ(seen[0].second, "ok");
    EXPECT_NE(seen[0].first, "null");
    for (std::size_t k = 0; k < std::size(cycles); ++k) {
        SCOPED_TRACE(cycles[k].simMode);
        EXPECT_EQ(seen[k + 1].second, cycles[k].status);
        EXPECT_EQ(seen[k + 1].first == "null", seen[k + 1].second != "ok") << seen[k + 1].first;
    }
    // The recording kept the previous value for the reply without a number.
    const auto lines = readLines(dir.file("run.dat"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(lines[1].find('\t')), lines[0].substr(lines[0].find('\t')));
}

// A value or a limit arrives as the very double the program held, however
// many digits that takes: 4e-7 is not 0.000000.
TEST_F(Publishing, NumbersArriveAsTheDoublesTheProgramHeld)
{
    const auto broker = brokerConnected("broker");
    const std::string output = dir.file("broker.received");
    const double hard[] = {4e-7,    1e-7,    5e-7,     1.23456789e-4, 1e300,     -1e300,   DBL_TRUE_MIN,
                           DBL_MIN, -0.0,    0.1 + 0.2, DBL_MAX,      1e15 + 1, 209100.5, -12.345678901234567};
    for (double v : hard)
        publish_alarm("alarm_high", v, -v, 1);
    // A reading through the cycle's own path, from the reply's text.
    startRun();
    Fmt(state.reply, "M2 1.23456789e-4");
    auswerten();
    publish_reading();

    const auto parsed = [](const std::string &text) {
        double v = NAN;
        std::from_chars(text.data(), text.data() + text.size(), v);
        return v;
    };
    const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const std::regex alarm(R"re(^\{.*"value":([^,]+),"limit":([^,]+)\}$)re");
    const std::regex reading(R"re(^\{.*"value":([^,]+),"status":"ok"\}$)re");
    std::vector<std::pair<double, double>> alarms;
    std::vector<double> readings;
    ASSERT_TRUE(support::sleepUntil(
        [&] {
            alarms.clear();
            readings.clear();
            for (const Message &m : received(output)) {
                std::smatch match;
                if (m.topic == "alarm" && std::regex_match(m.payload, match, alarm))
                    alarms.emplace_back(parsed(match[1]), parsed(match[2]));
                else if (m.topic == "reading" && std::regex_match(m.payload, match, reading))
                    readings.push_back(parsed(match[1]));
            }
            return alarms.size() == std::size(hard) && readings.size() == 2;
        },
        30s))
        << joined(received(output));
    for (std::size_t k = 0; k < std::size(hard); ++k) {
        EXPECT_TRUE(same(alarms[k].first, hard[k])) << hard[k] << " arrived as " << alarms[k].first;
        EXPECT_TRUE(same(alarms[k].second, -hard[k])) << -hard[k] << " arrived as " << alarms[k].second;
    }
    EXPECT_TRUE(same(readings[1], 1.23456789e-4)) << readings[1];
}

// What the operator types on the panel reaches the broker as UTF-8, as MQTT
// takes it: a topic prefix, a user name, a password and a client id beyond
// ASCII connect and publish, and the settings file keeps them as typed.
TEST_F(Publishing, TextsTypedBeyondAsciiConnectAndPublish)
{
    const std::string user = "Pr\xC3\xBC" "fer", password = "Gr\xC3\xBC\xC3\x9F" "e \xCE\xA9";
    const std::string prefix = "Labor-S\xC3\xBC" "d/Pr\xC3\xBC" "fstand \xCE\xA9", clientId = "Pr\xC3\xBC" "fstand-1";
    const std::string dirPath = brokerDir("broker");
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c " + dirPath + "/passwd '" + user + "' '" + password + "'").c_str()),
              0);
    // Anyone may listen; whoever logs in must give the password.
    support::MqttBroker broker(dirPath, "password_file " + dirPath + "/passwd\n");
    ASSERT_TRUE(broker.start());
    const std::string output = dir.file("received");
    support::MqttSubscriber sub(broker, prefix, output);
    ASSERT_TRUE(sub.ready());
    publish_start();
    rte::testing::activateMenuItem(state.menu_bar, kMainPublishingItem);
    const int panel = publish_panel();
    const auto condition = [panel] {
        char value[kConditionSize];
        GetCtrlVal(panel, kPublishingCondition, value);
        return std::string(value);
    };
    rte::testing::operate(panel, kPublishingEnabled);
    rte::testing::typeInto(panel, kPublishingHost, "127.0.0.1");
    rte::testing::typeInto(panel, kPublishingPort, std::to_string(broker.port()).c_str());
    rte::testing::typeInto(panel, kPublishingUser, user.c_str());
    rte::testing::typeInto(panel, kPublishingPassword, password.c_str());
    rte::testing::typeInto(panel, kPublishingPrefix, prefix.c_str());
    rte::testing::typeInto(panel, kPublishingClientId, clientId.c_str());
    rte::testing::operate(panel, kPublishingApply);
    EXPECT_TRUE(rte::testing::waitUntil([&] { return condition() == "Connected to the broker."; }, 30)) << condition();
    startRun();
    const auto arrived = [&](const std::string &topic) {
        for (const std::string &line : sub.lines())
            if (line.starts_with(prefix + "/" + topic + " "))
                return true;
        return false;
    };
    const bool both = support::sleepUntil([&] { return arrived("reading") && arrived("status"); }, 30s);
    std::string all;
    for (const std::string &line : sub.lines())
        all += line + '\n';
    EXPECT_TRUE(both) << condition() << '\n' << all;
    publishing = PublishSettings{};
    publish_settings_load();
    EXPECT_EQ(publishing.user, user);
    EXPECT_EQ(publishing.password, password);
    EXPECT_EQ(publishing.prefix, prefix);
    EXPECT_EQ(publishing.client_id, clientId);
}

// A topic prefix that MQTT forbids in a topic name is refused on the
// panel's condition text, never in a popup: the settings in force, their
// file and the connection stay as they were.
TEST_F(Publishing, ARefusedTopicPrefixIsSaidAndChangesNothing)
{
    const auto broker = brokerConnected("broker");
    const std::string output = dir.file("broker.received");
    const std::string file = settingsFile("vandrel-publish.ini");
    const auto saved = readLines(file);
    rte::testing::activateMenuItem(state.menu_bar, kMainPublishingItem);
    const int panel = publish_panel();
    const auto said = [panel] {
        char value[kConditionSize];
        GetCtrlVal(panel, kPublishingCondition, value);
        return std::string(value);
    };
    const std::string wildcard = "Not applied: the topic prefix holds + or #, which are for subscriptions. The "
                                 "settings in force stay.";
    const struct {
        std::string prefix;
        std::string said;
    } refused[] = {
        {"lab/+", wildcard},
        {"lab/+/bench", wildcard},
        {"lab/#", wildcard},
        {"#", wildcard},
        {std::string(200, 'x'), "Not applied: the topic prefix is longer than 127 bytes. The settings in force stay."},
    };
    for (const auto &row : refused) {
        SCOPED_TRACE(row.prefix.substr(0, 20));
        rte::testing::typeInto(panel, kPublishingPrefix, row.prefix.c_str());
        rte::testing::operate(panel, kPublishingApply);
        EXPECT_EQ(said(), row.said);
        EXPECT_STREQ(publishing.prefix, kPrefix);
        EXPECT_EQ(readLines(file), saved);
        EXPECT_EQ(MqttState(), kMqttConnected);
    }
    startRun();
    ASSERT_TRUE(support::sleepUntil([&] { return !sequences(received(output)).empty(); }, 30s))
        << "readings go on under the prefix in force";

    // A file edited by hand: publishing does not start, and says why.
    std::ofstream(file, std::ios::trunc) << "enabled=1\nhost=127.0.0.1\nport=" << broker->broker.port()
                                         << "\nprefix=lab/+\nclient_id=publish-test\n";
    publish_start();
    EXPECT_EQ(condition(), "Publishing cannot start: the topic prefix holds + or #, which are for subscriptions.");
}

// The key of a message is (stream, seq): the outbox deleted between two
// runs begins its numbers again at 1, in a stream of its own.
TEST_F(Publishing, EveryMessageHasAKeyOfItsOwnAlsoWhenTheOutboxIsDeletedBetweenRuns)
{
    const auto broker = brokerConnected("broker");
    const std::string output = dir.file("broker.received");
    startRun();
    tickAt(1);
    tickAt(2);
    ASSERT_TRUE(arrived(output, 1, 3)) << joined(received(output));
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    const std::string outbox = settingsFile("vandrel-outbox.sqlite");
    for (const char *suffix : {"", "-wal", "-shm", ".lock"})
        fs::remove(outbox + suffix);
    publish_start();
    for (int t = 3; t < 6; ++t)
        tickAt(t);
    ASSERT_TRUE(support::sleepUntil([&] { return sequences(received(output)).size() >= 6; }, 30s))
        << joined(received(output));
    const auto messages = received(output);
    EXPECT_EQ(sequences(messages), (std::vector<long>{1, 2, 3, 1, 2, 3}));
    const auto streams = expectKeysNeverRepeat(messages);
    ASSERT_EQ(streams.size(), 2u) << joined(messages);
    EXPECT_EQ(readingStreams(messages),
              (std::vector<std::string>{streams[0], streams[0], streams[0], streams[1], streams[1], streams[1]}));
}

// Deleted by hand, by a cleaning script, or with a backup put back: with
// no reading taken meanwhile (they may come an hour apart), a new file
// stands at the path again, holding what the old one held, and the
// numbering goes on.
TEST_F(Publishing, AnOutboxFileDeletedWhileTheProgramRunsIsStartedAgainAndLosesNothing)
{
    const struct {
        const char *what;
        std::vector<std::string> suffixes;
    } deletions[] = {
        {"the file", {""}},
        {"the file, its log and the log's index", {"", "-wal", "-shm"}},
    };
    int round = 0;
    for (const auto &deletion : deletions) {
        SCOPED_TRACE(deletion.what);
        const auto down = newRound("broker" + std::to_string(++round));
        startRun();
        for (int t = 1; t < 5; ++t)
            tickAt(t);
        ASSERT_EQ(GetOutboxStatus().waiting, 5);
        const std::string outbox = settingsFile("vandrel-outbox.sqlite");
        for (const std::string &suffix : deletion.suffixes)
            ASSERT_TRUE(fs::remove(outbox + suffix));
        ASSERT_TRUE(support::sleepUntil([&] { return fs::exists(outbox); }, 30s)) << "no new file";
        ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().faults & kOutboxReplaced; }, 30s));
        EXPECT_TRUE(std::regex_match(
            condition(), std::regex(R"(Connecting to the broker; readings are kept until it answers\. 5 messages wait )"
                                    R"(in the outbox\. The outbox file disappeared at \d\d:\d\d:\d\d; a new one was )"
                                    R"(started and the numbering goes on\.)")))
            << condition();
        for (int t = 5; t < 8; ++t)
            tickAt(t);
        EXPECT_EQ(GetOutboxStatus().waiting, 8);
        ASSERT_TRUE(down->broker.start());
        const std::string output = dir.file("broker" + std::to_string(round) + ".received");
        ASSERT_TRUE(arrived(output, 1, 8)) << joined(received(output));
        const auto messages = received(output);
        expectEveryMessageInOrder(messages, 1, 8);
        const auto streams = expectKeysNeverRepeat(messages);
        ASSERT_EQ(streams.size(), 2u) << joined(messages);
        const auto byReading = readingStreams(messages);
        EXPECT_EQ(std::count(byReading.begin(), byReading.begin() + 5, streams[0]), 5) << "carried with its key";
        EXPECT_EQ(byReading.back(), streams[1]);
        EXPECT_TRUE(support::sleepUntil([] { return GetOutboxStatus().waiting == 0; })) << condition();
        rte::testing::operate(state.main_panel, kMainStop);
    }
}

// An outbox of `count` messages as a program that ran with the broker away
// for a week leaves it, made in one transaction after the schema the
// README gives.
void fillOutbox(const std::string &path, long count)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE outbox(seq INTEGER PRIMARY KEY AUTOINCREMENT, topic TEXT NOT NULL,"
                           " payload TEXT NOT NULL);"
                           "CREATE TABLE dropped(id INTEGER PRIMARY KEY CHECK (id = 1), count INTEGER NOT NULL,"
                           " first_seq INTEGER NOT NULL, last_seq INTEGER NOT NULL);"
                           "BEGIN",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt *insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO outbox(topic, payload) VALUES(?1, ?2)", -1, &insert, nullptr),
              SQLITE_OK);
    const std::string topic = std::string(kPrefix) + "/reading";
    for (long seq = 1; seq <= count; ++seq) {
        const std::string payload = "{\"seq\":" + std::to_string(seq) +
                                    ",\"stream\":\"0123456789abcdef0123456789abcdef\",\"elapsed\":" +
                                    std::to_string(seq) + ".000}";
        sqlite3_bind_text(insert, 1, topic.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, payload.c_str(), -1, SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    EXPECT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Another file put in the outbox's place, as a backup put back does: a
// copy of this outbox is taken as it stands and the messages of both go
// on; a copy from before the numbering began again holds other messages
// under the same numbers, so it is moved aside instead of any message of
// this one's being lost, and the numbering goes on above it.
TEST_F(Publishing, AnOutboxReplacedByAnotherFileWhileTheProgramRunsLosesNothing)
{
    const struct {
        const char *what;
        bool older;  // a copy of this outbox, else one of another numbering
        std::vector<long> readings;
    } copies[] = {
        {"an older copy of itself", true, {1, 2, 3, 4, 5, 6, 7}},
        {"a copy from before the numbering began again", false, {1, 2, 3, 4, 5, 11, 12}},
    };
    int round = 0;
    for (const auto &copy : copies) {
        SCOPED_TRACE(copy.what);
        const std::string name = "broker" + std::to_string(++round);
        const auto down = newRound(name);
        const std::string outbox = settingsFile("vandrel-outbox.sqlite"), backup = dir.file(name + ".sqlite");
        startRun();
        tickAt(1);
        tickAt(2);
        if (copy.older) {
            sqlite3 *db = nullptr;
            ASSERT_EQ(sqlite3_open(outbox.c_str(), &db), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(db, ("VACUUM INTO '" + backup + "'").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        } else {
            fillOutbox(backup, 10);
        }
        tickAt(3);
        tickAt(4);
        fs::rename(backup, outbox);
        ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().faults & kOutboxReplaced; }, 30s));
        const std::string said = condition();
        EXPECT_NE(said.find("The outbox file disappeared at "), std::string::npos) << said;
        EXPECT_EQ(said.find("held other messages: it was moved aside to " + outbox + ".replaced-") !=
                      std::string::npos,
                  !copy.older)
            << said;
        tickAt(5);
        tickAt(6);
        ASSERT_TRUE(down->broker.start());
        const std::string output = dir.file(name + ".received");
        ASSERT_TRUE(support::sleepUntil([&] { return sequences(received(output)).size() >= 7; }, 30s))
            << joined(received(output));
        const auto messages = received(output);
        EXPECT_EQ(sequences(messages), copy.readings) << joined(messages);
        EXPECT_EQ(expectKeysNeverRepeat(messages).size(), 2u) << joined(messages);
        EXPECT_TRUE(support::sleepUntil([] { return GetOutboxStatus().waiting == 0; })) << condition();
        rte::testing::operate(state.main_panel, kMainStop);
    }
}

// A folder of the settings (a profile's) deleted with the outbox in it,
// and something else standing at its name for a while: messages are sent
// from the old file meanwhile, and once the folder can be made again, it
// is, for this user alone, with a new outbox that holds what waits.
TEST_F(Publishing, AnOutboxWhoseFolderGoesWhileTheProgramRunsIsMadeAgainWithItsFolder)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    const std::string output = dir.file("received");
    support::MqttSubscriber sub(broker, kPrefix, output);
    ASSERT_TRUE(sub.ready());
    const std::string folder = dir.file("profile/settings"), outbox = folder + "/vandrel-outbox.sqlite";
    fs::create_directories(folder);
    ASSERT_EQ(OutboxOpen(outbox.c_str(), 1000), 0);
    const std::string topic = std::string(kPrefix) + "/reading";
    const auto add = [&](int n) { return OutboxAdd(topic.c_str(), ("\"n\":" + std::to_string(n)).c_str()); };
    for (int n = 1; n <= 3; ++n)
        ASSERT_EQ(add(n), n);
    // A file takes the folder's name in the same step as the folder goes.
    const std::string away = dir.file("profile/away");
    std::ofstream(away) << "not a folder";
    ASSERT_EQ(::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, away.c_str(), RENAME_EXCHANGE), 0);
    fs::remove_all(away);
    ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().faults & kOutboxGone; }, 30s));
    EXPECT_EQ(add(4), 4) << "stored in the old file";
    const std::string status = std::string(kPrefix) + "/status", dropped = std::string(kPrefix) + "/dropped";
    MqttConnect(MqttOptions{"127.0.0.1", broker.port(), 0, "", "", "", "outbox-folder-test", status.c_str(),
                            dropped.c_str()});
    ASSERT_TRUE(arrived(output, 1, 4)) << joined(received(output));
    ASSERT_TRUE(fs::remove(folder));
    ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().faults & kOutboxReplaced; }, 30s));
    EXPECT_FALSE(GetOutboxStatus().faults & kOutboxGone);
    EXPECT_TRUE(fs::exists(outbox));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(support::sleepUntil([&] { return fs::exists(outbox + ".lock"); })) << "locked anew";
    EXPECT_EQ(add(5), 5);
    EXPECT_EQ(add(6), 6);
    ASSERT_TRUE(arrived(output, 1, 6)) << joined(received(output));
    const auto messages = received(output);
    expectEveryMessageInOrder(messages, 1, 6);
    EXPECT_EQ(expectKeysNeverRepeat(messages).size(), 2u) << joined(messages);
    EXPECT_TRUE(support::sleepUntil([] { return GetOutboxStatus().waiting == 0; }));
}

// Messages stream out while the bound drops the oldest: those in flight,
// or acknowledged and not yet removed, reached the broker, so the count
// said on the panel and told the broker is exactly those that never did.
TEST_F(Publishing, TheDroppedCountIsTheMessagesThatNeverReachedTheBroker)
{
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    const std::string topic = std::string(kPrefix) + "/reading";
    const std::string status = std::string(kPrefix) + "/status", droppedTopic = std::string(kPrefix) + "/dropped";
    const long total = 1500;
    // Below the sender's window, and above it (acknowledged rows wait for
    // their batch's removal).
    for (const long long bound : {4LL, 8LL, 48LL}) {
        SCOPED_TRACE("bound " + std::to_string(bound));
        const std::string output = dir.file("received-" + std::to_string(bound));
        support::MqttSubscriber sub(broker, kPrefix, output);
        ASSERT_TRUE(sub.ready());
        ASSERT_EQ(OutboxOpen(dir.file("outbox-" + std::to_string(bound) + ".sqlite").c_str(), bound), 0);
        MqttConnect(MqttOptions{"127.0.0.1", broker.port(), 0, "", "", "", "dropped-count-test", status.c_str(),
                                droppedTopic.c_str()});
        ASSERT_TRUE(connected());
        for (long n = 1; n <= total; ++n)
            ASSERT_EQ(OutboxAdd(topic.c_str(), ("\"n\":" + std::to_string(n)).c_str()), n);
        const auto tally = [&](long &arrivedCount, long &told) {
            std::set<long> seen;
            told = 0;
            for (const Message &m : received(output)) {
                if (m.topic == "reading")
                    seen.insert(m.seq);
                const std::size_t at = m.payload.find("\"dropped\":");
                if (m.topic == "dropped" && at != std::string::npos)
                    told += std::atol(m.payload.c_str() + at + 10);
            }
            arrivedCount = static_cast<long>(seen.size());
        };
        long arrivedCount = 0, told = 0;
        ASSERT_TRUE(support::sleepUntil(
            [&] {
                tally(arrivedCount, told);
                return GetOutboxStatus().waiting == 0 && arrivedCount + told >= total &&
                       arrivedCount + GetOutboxStatus().dropped >= total;
            },
            60s))
            << arrivedCount << " arrived, " << told << " told dropped";
        const long missing = total - arrivedCount;
        EXPECT_EQ(GetOutboxStatus().dropped, missing);
        EXPECT_EQ(told, missing);
        MqttDisconnect();
    }
}

TEST_F(Publishing, ASecondCopyCannotTakeTheOutboxWhoseLockFileWasDeleted)
{
    secondCopyLeavesTheOutboxToTheFirst(true);
}

// Reads a file that another process writes, a whole line at a time, from
// where the last look stopped: a file of a week's messages is not read
// again from its start at every look.
class Tail {
public:
    explicit Tail(std::string path) : path_(std::move(path)) {}
    template <typename Line>
    void read(Line line)
    {
        std::ifstream in(path_, std::ios::binary);
        in.seekg(offset_);
        for (std::string text; std::getline(in, text) && !in.eof();) {
            offset_ += static_cast<std::streamoff>(text.size()) + 1;
            line(text);
        }
    }

private:
    std::string path_;
    std::streamoff offset_ = 0;
};

// A week of readings waits when the broker comes back: the reading taken
// now is on <prefix>/live while most of the week has still to go, and the
// week and the new reading still arrive on <prefix>/reading whole and in
// order.
TEST_F(Publishing, TheNewestReadingGoesLiveAheadOfAWeekOfBacklog)
{
    constexpr long kBacklog = 600'000;
    fillOutbox(settingsFile("vandrel-outbox.sqlite"), kBacklog);
    support::MqttBroker broker(brokerDir("broker"));
    ASSERT_TRUE(broker.start());
    const std::string output = dir.file("received");
    support::MqttSubscriber sub(broker, kPrefix, output);
    ASSERT_TRUE(sub.ready());
    publishTo(broker);
    ASSERT_EQ(GetOutboxStatus().waiting, kBacklog) << condition();

    Tail tail(output);
    const std::string reading = std::string(kPrefix) + "/reading ", live = std::string(kPrefix) + "/live ";
    std::vector<char> seen(kBacklog + 2);
    long readings = 0, late = 0, highest = 0, readingsBeforeLive = -1;
    std::string livePayload, lastPayload;
    const auto look = [&] {
        tail.read([&](const std::string &line) {
            if (line.starts_with(live) && readingsBeforeLive < 0) {
                readingsBeforeLive = readings;
                livePayload = line.substr(live.size());
            }
            if (!line.starts_with(reading))
                return;
            const long seq = std::atol(line.c_str() + reading.size() + 7);
            ASSERT_TRUE(seq >= 1 && seq <= kBacklog + 1) << line;
            if (seen[seq])
                return;
            seen[seq] = 1;
            ++readings;
            late += seq < highest;
            highest = std::max(highest, seq);
            if (seq == kBacklog + 1)
                lastPayload = line.substr(reading.size());
        });
    };
    // The drain under way, as the broker acknowledges it.
    ASSERT_TRUE(support::sleepUntil([] { return GetOutboxStatus().waiting <= kBacklog - 1000; }, 120s))
        << condition();
    startRun();
    ASSERT_TRUE(support::sleepUntil(
        [&] {
            look();
            return readingsBeforeLive >= 0 || readings > kBacklog;
        },
        300s));
    ASSERT_GE(readingsBeforeLive, 0) << "no live message before the backlog had gone";
    EXPECT_LT(readingsBeforeLive, kBacklog / 2) << "the live message waited behind the backlog";
    EXPECT_TRUE(livePayload.starts_with("{\"seq\":" + std::to_string(kBacklog + 1) + ",\"stream\":\"")) << livePayload;

    ASSERT_TRUE(support::sleepUntil(
        [&] {
            look();
            return readings > kBacklog;
        },
        300s))
        << readings << " readings arrived";
    EXPECT_EQ(late, 0) << "readings that arrived after a later one";
    EXPECT_EQ(lastPayload, livePayload) << "the live message is the reading's own";
}

}  // namespace
}  // namespace program_test
