// The outbox with the broker down and once it is back, through the
// program's own hand-over (publish_reading) and a real mosquitto:
//
// - the hand-over's median and 99th percentile with 0, 100,000 and 700,000
//   messages waiting, each timed beside a recording line's write and sync
//   in the same folder (the two alternate, so that both meet the same
//   disk), medians in wall time and in the thread's processor time;
// - the same at the bound: a week of readings waiting, each hand-over
//   dropping the oldest;
// - opening the outbox with 700,000 waiting;
// - a week waiting in a damaged file, found at the start: how long the
//   sending thread takes to carry it into a new one, and the hand-over
//   meanwhile;
// - the bytes on disk per message;
// - the drain to a local broker once it is up, in messages a second, and
//   whether all arrived in order;
// - the newest reading on <prefix>/live while a week of readings (600,000)
//   drains: from its hand-over until the subscriber has it, and how much of
//   the backlog still waited then.
//
//   bench_outbox [largest backlog]        (default 700000)
//
// The outbox is the program's own, in the folder of this program: its
// files there are removed before and after.
#include <time.h>

#include <thread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/settings_file.h"
#include "app/state.h"
#include "publish/publish.h"
#include "publish/publish_settings.h"
#include "rte/formatio.h"
#include "rte/mqtt.h"
#include "rte/testing/testing.h"
#include "tools/mqtt_broker.h"
#include "tools/sleep_until.h"
#include "tools/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The calling thread's processor time: in a virtual machine the system's
// share of a write and a sync shows here too.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * (v.size() - 1))];
}

fs::path outboxPath()
{
    char path[kPathSize];
    settings_file_path("vandrel-outbox.sqlite", path);
    return fs::u8path(path);
}

void removeOutbox()
{
    const fs::path db = outboxPath();
    for (const char *suffix : {"", "-wal", "-shm", ".lock"})
        fs::remove(db.string() + suffix);
    for (const auto &entry : fs::directory_iterator(db.parent_path()))
        if (entry.path().filename().string().starts_with(db.filename().string() + ".damaged-"))
            fs::remove(entry.path());
}

long long bytesOnDisk()
{
    long long bytes = 0;
    for (const char *suffix : {"", "-wal"}) {
        std::error_code error;
        const auto size = fs::file_size(outboxPath().string() + suffix, error);
        bytes += error ? 0 : static_cast<long long>(size);
    }
    return bytes;
}

// Hands over readings until `waiting` wait, in commits of many (the log
// then holds them all until the sender's next checkpoint).
void fillTo(long long waiting)
{
    rte::testing::holdOutboxCommits(true);
    while (GetOutboxStatus().waiting < waiting) {
        state.t_elapsed += 1;
        publish_reading();
    }
    rte::testing::holdOutboxCommits(false);
}

// Hand-overs and recording lines alternately, each timed.
void measure(const char *what, int count, int recording)
{
    std::vector<double> handOver, handOverCpu, line, lineCpu;
    const auto timed = [](std::vector<double> &wall, std::vector<double> &cpu, const auto &work) {
        const double c0 = threadCpuMs();
        const auto t0 = Clock::now();
        work();
        wall.push_back(msSince(t0));
        cpu.push_back(threadCpuMs() - c0);
    };
    for (int k = 0; k < count; ++k) {
        state.t_elapsed += 1;
        timed(handOver, handOverCpu, [] { publish_reading(); });
        timed(line, lineCpu, [&] { FmtFile(recording, " %f[p1]\t%f[e2] \n", state.t_elapsed, state.reading); });
    }
    std::printf("%-30s hand-over %6.3f ms (processor %5.3f)  p99 %6.3f | recording line %6.3f ms (processor %5.3f)  "
                "p99 %6.3f\n",
                what, percentile(handOver, 0.5), percentile(handOverCpu, 0.5), percentile(handOver, 0.99),
                percentile(line, 0.5), percentile(lineCpu, 0.5), percentile(line, 0.99));
    std::fflush(stdout);
}

// Reads the subscriber's output as it grows, a whole line at a time.
class Tail {
public:
    explicit Tail(std::string path) : path_(std::move(path)) {}
    // Whether a line from here on begins with `start` and holds `part`;
    // the lines read are passed over for good.
    bool find(const std::string &start, const std::string &part)
    {
        std::ifstream in(path_, std::ios::binary);
        in.seekg(offset_);
        for (std::string text; std::getline(in, text) && !in.eof();) {
            offset_ += static_cast<std::streamoff>(text.size()) + 1;
            if (text.starts_with(start) && text.find(part) != std::string::npos)
                return true;
        }
        return false;
    }

private:
    std::string path_;
    std::streamoff offset_ = 0;
};

// A reading handed over every second while the backlog drains, each timed
// until its live message is in the subscriber's output.
void measureLive(const std::string &received, int downPort, int upPort)
{
    constexpr long long kWeek = 600'000;
    publishing.port = downPort;
    publish_open();
    fillTo(kWeek);
    publish_stop();
    rte::testing::publishingEnded(30);
    publishing.port = upPort;
    Tail tail(received);
    tail.find("", "\n");  // what came before
    publish_open();
    std::vector<double> latency;
    std::vector<long long> left;
    for (int k = 0; k < 10 && GetOutboxStatus().waiting > kWeek / 4; ++k) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.t_elapsed += 1;
        const auto t0 = Clock::now();
        publish_reading();
        // Each reading's time since the start is its own.
        char elapsed[40];
        std::snprintf(elapsed, sizeof elapsed, "\"elapsed\":%.3f,", state.t_elapsed);
        if (!support::sleepUntil([&] { return tail.find("bench/live ", elapsed); }, std::chrono::minutes(2)))
            break;
        latency.push_back(msSince(t0));
        left.push_back(GetOutboxStatus().waiting);
    }
    if (latency.empty()) {
        std::printf("live under a week waiting          no live message arrived\n");
        return;
    }
    std::printf("live under %lld waiting         median %6.1f ms  worst %6.1f ms  (%zu readings; %lld to %lld still "
                "waiting when each arrived)\n",
                kWeek, percentile(latency, 0.5), percentile(latency, 1.0), latency.size(),
                *std::min_element(left.begin(), left.end()), *std::max_element(left.begin(), left.end()));
    publish_stop();
    rte::testing::publishingEnded(30);
}

}  // namespace

int main(int argc, char **argv)
{
    const long long largest = argc > 1 ? std::atoll(argv[1]) : 700'000;
    if (largest < 100'001) {
        std::fprintf(stderr, "usage: bench_outbox [largest backlog > 100000]\n");
        return 2;
    }
    const support::TempDir dir;
    support::MqttBroker broker(dir.path());  // down until the drain
    removeOutbox();

    // The program's state as a cycle leaves it: an oxygen reading.
    settings = Settings{1, 1.0, 1, 1, 0, 0.0, 10.0};
    Fmt(state.command, "M2\r");
    Fmt(state.reply, "M2 1.2345e+02");
    state.reading = 123.45;
    publish_settings_load();
    publishing.enabled = 1;
    std::snprintf(publishing.host, sizeof publishing.host, "127.0.0.1");
    publishing.port = broker.port();
    std::snprintf(publishing.prefix, sizeof publishing.prefix, "bench");
    std::snprintf(publishing.client_id, sizeof publishing.client_id, "bench-outbox");
    publishing.store_limit = 2'000'000'000;
    publish_open();
    const int recording = OpenFile(dir.file("run.dat").c_str(), kOpenWrite, kOpenTruncate, kOpenText);
    if (GetOutboxStatus().faults != 0 || recording <= 0) {
        std::fprintf(stderr, "the outbox or the recording file did not open\n");
        return 1;
    }

    for (const long long backlog : {0LL, 100'000LL, largest}) {
        fillTo(backlog);
        // As a backlog that grew over days stands: copied from the log
        // into the file, as the program's start finds it.
        publish_stop();
        rte::testing::publishingEnded(30);
        publish_open();
        char what[64];
        std::snprintf(what, sizeof what, "%lld waiting", backlog);
        measure(what, 2000, recording);
    }
    const long long rows = GetOutboxStatus().waiting;

    // Opening, as a start of the program does with that backlog.
    std::vector<double> opening;
    for (int k = 0; k < 5; ++k) {
        publish_stop();
        rte::testing::publishingEnded(30);
        // Closed, the file holds everything (the log is copied in and gone).
        if (k == 0)
            std::printf("bytes on disk per message          %.0f (%lld messages, %.1f MB)\n",
                        static_cast<double>(bytesOnDisk()) / rows, rows, bytesOnDisk() / 1e6);
        const auto t0 = Clock::now();
        publish_open();
        opening.push_back(msSince(t0));
    }
    std::printf("opening with %lld waiting          median %6.3f ms  worst %6.3f ms\n", rows,
                percentile(opening, 0.5), percentile(opening, 1.0));

    // At the bound: a week of readings at 1 s, each hand-over dropping the
    // oldest (the first drops all beyond the week in one go).
    publish_stop();
    rte::testing::publishingEnded(30);
    publishing.store_limit = 0;
    publish_open();
    publish_reading();
    measure("at the bound (a week at 1 s)", 2000, recording);

    // The week in a file whose table of numbers (its third page) is
    // damaged, found at the start: every message is still readable and
    // goes into a new file, on the sending thread, while readings are
    // handed over (beyond the bound, so that none is dropped).
    const long long week = GetOutboxStatus().waiting;
    publish_stop();
    rte::testing::publishingEnded(30);
    {
        std::fstream file(outboxPath(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(2 * 1024);
        file << std::string(1024, '\xa5');
    }
    publishing.store_limit = 2'000'000'000;
    const auto damaged = Clock::now();
    publish_open();
    const double start = msSince(damaged);
    measure("while a week is carried over", 300, recording);
    const long long duringHandOvers = GetOutboxStatus().salvaged;
    support::sleepUntil([week] { return GetOutboxStatus().salvaged + GetOutboxStatus().unreadable >= week; },
                        std::chrono::minutes(10));
    const double carrying = msSince(damaged) / 1e3;
    std::printf("carrying a damaged week            %.1f s, %.0f messages/s; %lld of %lld carried, %lld unreadable "
                "(%lld carried when the hand-overs above ended); the start %.3f ms\n",
                carrying, week / carrying, GetOutboxStatus().salvaged, week, GetOutboxStatus().unreadable,
                duringHandOvers, start);
    CloseFile(recording);

    // The drain, once the broker is up.
    const long long waiting = GetOutboxStatus().waiting;
    if (!broker.start()) {
        std::fprintf(stderr, "the broker did not start\n");
        return 1;
    }
    support::MqttSubscriber subscriber(broker, "bench", dir.file("received"));
    if (!subscriber.ready()) {
        std::fprintf(stderr, "the subscriber did not subscribe\n");
        return 1;
    }
    publish_stop();
    rte::testing::publishingEnded(30);
    const auto t0 = Clock::now();
    publish_open();
    support::sleepUntil([] { return GetOutboxStatus().waiting == 0; }, std::chrono::hours(1));
    const double seconds = msSince(t0) / 1e3;
    // In order: each number seen for the first time above all before it.
    long long arrived = 0, late = 0, highest = 0;
    std::set<long long> seen;
    support::sleepUntil(
        [&] {
            std::ifstream in(dir.file("received"));
            arrived = late = highest = 0;
            seen.clear();
            for (std::string line; std::getline(in, line);) {
                const std::size_t at = line.find("{\"seq\":");
                if (!line.starts_with("bench/reading ") || at == std::string::npos)
                    continue;
                const long long seq = std::atoll(line.c_str() + at + 7);
                if (seen.insert(seq).second) {
                    ++arrived;
                    late += seq < highest;
                    highest = std::max(highest, seq);
                }
            }
            return arrived >= waiting;
        },
        std::chrono::minutes(2));
    std::printf("drain of %lld to a local broker     %.1f s, %.0f messages/s; %lld arrived, %lld out of order\n",
                waiting, seconds, waiting / seconds, arrived, late);

    // What the window waits for while messages stream out: Apply with
    // another broker and back, and the end of the program.
    fillTo(50'000);
    std::vector<double> apply, exit;
    for (int k = 0; k < 5; ++k) {
        support::sleepUntil([] { return MqttState() == kMqttConnected; });
        for (const int port : {broker.port() + 1, broker.port()}) {
            publishing.port = port;
            const auto t0 = Clock::now();
            publish_open();
            apply.push_back(msSince(t0));
        }
    }
    support::sleepUntil([] { return MqttState() == kMqttConnected; });
    const long long left = GetOutboxStatus().waiting;
    auto t1 = Clock::now();
    publish_stop();
    exit.push_back(msSince(t1));
    rte::testing::publishingEnded(30);
    std::printf("apply, sending %lld                median %6.3f ms  worst %6.3f ms\n", left,
                percentile(apply, 0.5), percentile(apply, 1.0));
    std::printf("end of the program while sending   %6.3f ms\n", exit.back());
    std::fflush(stdout);
    measureLive(dir.file("received"), broker.port() + 1, broker.port());
    removeOutbox();
    return 0;
}
