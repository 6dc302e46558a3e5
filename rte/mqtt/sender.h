// Private to the engine: the sender, a thread that publishes the outbox's
// rows to the configured broker, oldest first, and removes each once the
// broker has acknowledged it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "rte/mqtt/client.h"

namespace rte::outbox {
class Claim;
}

namespace rte::mqtt {

// A damaged file moved aside, whose readable rows go into the new one
// with their numbers.
struct Salvage {
    std::string aside;
    long long after = 0;     // rows above this waited in it
    bool knownStart = true;  // false: where they began is not known
    long long through = 0;   // the highest seq it handed out, 0 when not known
    long long sent = 0;      // rows up to this reached the broker before
};

// What the user-interface thread and the sender tell each other without
// waiting for one another.
struct Progress {
    Progress(long long first, long long last, long long dropped, std::optional<Salvage> salvaged)
        : firstWaiting(first), lastAdded(last), unreported(dropped), salvaging(salvaged.has_value()),
          salvage(std::move(salvaged))
    {
    }

    std::atomic<int> state{0};               // kMqttClosed ...
    std::atomic<long long> firstWaiting;  // no row below this waits
    std::atomic<long long> lastAdded;     // the highest seq stored
    std::atomic<long long> unreported;    // dropped, and the broker not yet told
    // A row the bound drops is lost only if the broker never had it: one
    // handed to the client (up to handedThrough) has gone out, or been
    // acknowledged already.  The adder drops and the sender hands over
    // under `hand`, one at a time, so that each row is counted by one
    // side: the adder for rows never handed over, the sender for rows in
    // flight whose connection broke after the adder dropped them.
    std::mutex hand;
    std::atomic<long long> handedThrough{0};
    std::atomic<long long> droppedInFlight{0};  // by the sender, this session
    // While the sender carries a damaged file's rows, commit after commit,
    // the adder takes `hand` for every row too: SQLite's wait for a lock
    // polls, and would find the carry's next commit in the way each time
    // until it gave up.  Set with the carry handed over, cleared when done.
    std::atomic<bool> salvaging{false};
    // The sender waits for new rows (connected, room in flight): only then
    // does a new row need to wake it.
    std::atomic<bool> wantsRows{false};
    // A damaged file: whoever finds it says so; the sender closes its
    // connection and says that too; the user-interface thread then moves
    // the file aside, starts a new one and counts a new generation, which
    // the sender opens.
    std::atomic<bool> damaged{false};
    std::atomic<bool> senderClosed{false};
    std::atomic<int> generation{0};
    // The file at the path no longer the one open (deleted, with its folder
    // or not, or another put in its place): the sender finds it within a
    // second, carries what the old file holds into a new one at the path
    // (or into the one put there) and counts a replacement; the
    // user-interface thread then adds to the new one, carrying what it
    // added meanwhile (above carriedThrough), and says it followed.  Until
    // it has, the sender removes nothing, since rows may yet come in below
    // its cursor; `rewind` says where they came.
    std::atomic<int> replaced{0};
    std::atomic<int> followed{0};
    std::atomic<long long> carriedThrough{0};
    std::atomic<long long> rewind{0};
    std::atomic<long long> lost{0};        // not carried, this session
    std::atomic<long long> goneAt{0};      // when found gone, ms since 1970; 0: never
    std::atomic<bool> gone{false};         // found gone, and no new file made yet
    // A file found in the vanished one's place and moved aside by the
    // sender, damaged or holding other messages under the same numbers;
    // under `notes`.
    std::mutex notes;
    std::string movedAside;
    bool asideDamaged = false;
    // A damaged file moved aside by the user-interface thread: the sender
    // carries its readable rows into the new file before it sends anything
    // from it; under `notes`.
    std::optional<Salvage> salvage;
    std::atomic<long long> salvaged{0};    // carried from damaged files, this session
    std::atomic<long long> unreadable{0};  // of damaged files, unreadable: dropped, this session

    // Raises firstWaiting to at least `seq`.
    void passed(long long seq);
};

class Sender {
public:
    // Messages in flight at most: enough to keep a local broker busy, few
    // enough that a reconnection sends little twice.
    static constexpr int kWindow = 32;

    Sender(std::string path, Progress &progress, std::shared_ptr<outbox::Claim> claim);
    ~Sender();
    Sender(const Sender &) = delete;
    Sender &operator=(const Sender &) = delete;

    // The broker to publish to from now on; none: publish nowhere.
    void configure(const std::optional<Settings> &settings);
    // New rows are waiting: wakes the thread if it waits for them.
    void added();
    // Something else changed (the file was replaced): wakes the thread.
    void wake();
    // The newest message for a live topic, sent retained as soon as the
    // sender is connected, ahead of whatever waits in the outbox, and again
    // after each new connection; it replaces the one before.
    void live(const std::string &topic, const std::string &payload);
    // Asks the thread to leave its broker and end; waits at most `seconds`.
    // True when it has ended; otherwise it ends on its own later, and this
    // object must outlive it (the caller keeps it).
    bool end(double seconds);

private:
    void run();

    std::string path_;
    Progress &progress_;
    std::shared_ptr<outbox::Claim> claim_;
    std::mutex mutex_;
    std::condition_variable wake_;
    // Asked of the thread, under mutex_.
    std::optional<Settings> wanted_;
    long version_ = 0;
    std::string liveTopic_, livePayload_;
    long liveVersion_ = 0;
    bool added_ = false;
    bool ending_ = false;
    bool ended_ = false;
    std::thread thread_;
};

}  // namespace rte::mqtt
