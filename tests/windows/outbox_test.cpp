// Publishing through the outbox on Windows, against a mosquitto on the Linux
// side's loopback (scripts/windows/test.sh starts it with a subscriber): the
// outbox lies in the program's folder, whose name no single ANSI code page
// holds; a backlog beyond 65,535 messages is kept across a restart and sent
// in order; a program ended outright with a backlog loses nothing and
// repeats no number.
//
// Environment: VANDREL_BROKER_PORT (a broker that runs), VANDREL_DOWN_PORT
// (where nothing listens), VANDREL_RECEIVED (the subscriber's output, one
// "topic payload" line per message).
//
//   outbox_test.exe                            the tests
//   outbox_test.exe --store-until-ended REPORT  stores a reading after
//       another for the broker that is down, a line in REPORT after each
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/settings_file.h"
#include "app/state.h"
#include "publish/publish.h"
#include "publish/publish_settings.h"
#include "rte/formatio.h"
#include "rte/mqtt.h"
#include "rte/testing/testing.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int port(const char *variable)
{
    const char *value = std::getenv(variable);
    return value ? std::atoi(value) : 0;
}

template <typename Done>
bool waitFor(Done done, std::chrono::seconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

fs::path outbox()
{
    char path[kPathSize];
    settings_file_path("vandrel-outbox.sqlite", path);
    return fs::u8path(path);
}

void removeOutbox()
{
    for (const char *suffix : {"", "-wal", "-shm", ".lock"})
        fs::remove(outbox().wstring() + fs::path(suffix).wstring());
}

// Publishing to 127.0.0.1:`broker` under `prefix`, as the panel's Apply does.
void publishTo(int broker, const char *prefix)
{
    publish_settings_load();
    publishing.enabled = 1;
    std::snprintf(publishing.host, sizeof publishing.host, "127.0.0.1");
    publishing.port = broker;
    std::snprintf(publishing.prefix, sizeof publishing.prefix, "%s", prefix);
    std::snprintf(publishing.client_id, sizeof publishing.client_id, "wine-outbox-test");
    publish_open();
}

// The state a cycle leaves: an oxygen reading.
void aReading(double elapsed)
{
    settings = Settings{1, 1.0, 1, 1, 0, 0.0, 10.0};
    Fmt(state.command, "M2\r");
    Fmt(state.reply, "M2 2.0946e+05");
    state.reading = 209460;
    state.t_elapsed = elapsed;
}

// The numbers of the messages under `prefix`, in the order they arrived,
// each with its payload.
std::vector<std::pair<long, std::string>> received(const std::string &prefix)
{
    std::vector<std::pair<long, std::string>> out;
    std::ifstream in(fs::u8path(std::getenv("VANDREL_RECEIVED")));
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find(" {\"seq\":");
        if (line.starts_with(prefix + "/reading") && at != std::string::npos)
            out.emplace_back(std::atol(line.c_str() + at + 8), line.substr(at + 1));
    }
    return out;
}

// Every number from 1 to `last` arrived, each first arrival above all
// before it, a repeat only with the same payload.
void expectWholeAndInOrder(const std::vector<std::pair<long, std::string>> &messages, long last)
{
    std::map<long, std::string> seen;
    long highest = 0, late = 0, changed = 0;
    for (const auto &[seq, payload] : messages) {
        const auto [at, fresh] = seen.emplace(seq, payload);
        if (fresh) {
            late += seq < highest;
            highest = std::max(highest, seq);
        } else {
            changed += at->second != payload;
        }
    }
    long missing = 0;
    for (long s = 1; s <= last; ++s)
        missing += !seen.count(s);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(late, 0);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(highest, last);
}

class WindowsOutbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(port("VANDREL_BROKER_PORT"), 0);
        ASSERT_GT(port("VANDREL_DOWN_PORT"), 0);
        ASSERT_NE(std::getenv("VANDREL_RECEIVED"), nullptr);
        removeOutbox();
    }
    void TearDown() override
    {
        publish_stop();
        EXPECT_TRUE(rte::testing::publishingEnded(30));
        removeOutbox();
    }
};

TEST_F(WindowsOutbox, LiesInAFolderNamedBeyondTheAnsiCodePage)
{
    publishTo(port("VANDREL_DOWN_PORT"), "vandrel/wine-folder");
    aReading(0);
    publish_reading();
    EXPECT_EQ(GetOutboxStatus().waiting, 1);
    EXPECT_EQ(GetOutboxStatus().faults, 0);
    // The file has the folder's wide name, not a code page's guess at it.
    EXPECT_TRUE(fs::exists(outbox())) << outbox().u8string().size();
    EXPECT_GT(outbox().wstring().find_first_of(L"\u00fc\u6e2c"), 0u);
}

TEST_F(WindowsOutbox, ABacklogBeyondSixtyFiveThousandMessagesIsKeptAcrossARestartAndSentInOrder)
{
    // Under wine the MQTT client sends some 70 messages a second (each of
    // its mutexes is a round trip to the wine server), so the whole drain
    // is Linux's test; here the first thousands go, in order, and the rest
    // is found waiting, whole.
    constexpr long kBacklog = 70'000;
    constexpr long kSent = 2'000;
    publishTo(port("VANDREL_DOWN_PORT"), "vandrel/wine-backlog");
    ASSERT_EQ(rte::testing::holdOutboxCommits(true), 0);
    for (long k = 0; k < kBacklog; ++k) {
        aReading(k);
        publish_reading();
    }
    ASSERT_EQ(rte::testing::holdOutboxCommits(false), 0);
    ASSERT_EQ(GetOutboxStatus().waiting, kBacklog);
    // The broker comes back, after a restart of the program.
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    publishTo(port("VANDREL_BROKER_PORT"), "vandrel/wine-backlog");
    ASSERT_TRUE(waitFor([] { return received("vandrel/wine-backlog").size() >= kSent; }, 300s));
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    const auto arrived = received("vandrel/wine-backlog");
    long highest = 0;
    for (const auto &m : arrived)
        highest = std::max(highest, m.first);
    expectWholeAndInOrder(arrived, highest);
    // Only what arrived has left the outbox; everything after it waits.
    publishTo(port("VANDREL_DOWN_PORT"), "vandrel/wine-backlog");
    const long removed = kBacklog - static_cast<long>(GetOutboxStatus().waiting);
    EXPECT_GT(removed, 0);
    EXPECT_LE(removed, highest);
}

TEST_F(WindowsOutbox, AProgramEndedOutrightWithABacklogLosesNothingAndRepeatsNoNumber)
{
    wchar_t self[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const fs::path report = fs::temp_directory_path() / ("vandrel-outbox-" + std::to_string(::GetCurrentProcessId()));
    std::wstring command = L"\"" + std::wstring(self) + L"\" --store-until-ended \"" + report.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &child));
    const auto lines = [&] {
        std::ifstream in(report);
        long n = 0;
        for (std::string line; std::getline(in, line);)
            ++n;
        return n;
    };
    const bool stored = waitFor([&] { return lines() >= 30; }, 120s);
    // As a power cut or the task manager ends it: at once, wherever it is.
    ::TerminateProcess(child.hProcess, 1);
    ::WaitForSingleObject(child.hProcess, INFINITE);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(child.hThread);
    ASSERT_TRUE(stored);
    const long reported = lines();
    fs::remove(report);

    publishTo(port("VANDREL_DOWN_PORT"), "vandrel/wine-killed");
    const long kept = static_cast<long>(GetOutboxStatus().waiting);
    EXPECT_GE(kept, reported);
    for (int k = 0; k < 5; ++k) {
        aReading(1000 + k);
        publish_reading();
    }
    publish_stop();
    ASSERT_TRUE(rte::testing::publishingEnded(30));
    publishTo(port("VANDREL_BROKER_PORT"), "vandrel/wine-killed");
    ASSERT_TRUE(waitFor([] { return GetOutboxStatus().waiting == 0; }, 120s));
    ASSERT_TRUE(waitFor([&] { return static_cast<long>(received("vandrel/wine-killed").size()) >= kept + 5; }, 60s));
    expectWholeAndInOrder(received("vandrel/wine-killed"), kept + 5);
}

// The child: a reading stored, a line reported, and again, until ended.
int storeUntilEnded(const char *report)
{
    publishTo(port("VANDREL_DOWN_PORT"), "vandrel/wine-killed");
    std::FILE *out = std::fopen(report, "w");
    if (!out)
        return 2;
    for (long k = 0;; ++k) {
        aReading(k);
        publish_reading();
        std::fprintf(out, "%ld\n", k);
        std::fflush(out);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--store-until-ended") == 0)
        return storeUntilEnded(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
