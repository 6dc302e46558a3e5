#include "rte/mqtt/sender.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "rte/mqtt.h"
#include "rte/mqtt/claim.h"
#include "rte/mqtt/outbox_db.h"
#include "rte/mqtt/outbox_os.h"
#include "rte/utility.h"

namespace rte::mqtt {

void Progress::passed(long long seq)
{
    long long seen = firstWaiting.load();
    while (seen < seq && !firstWaiting.compare_exchange_weak(seen, seq)) {
    }
}

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using outbox::Database;
using outbox::Result;

// Paho gives QoS 1 messages ids from 1 up: no token is ever this.
constexpr int kNoToken = -1;

struct InFlight {
    int token;
    long long seq;
};

// The sender thread's own state and steps; only that thread touches it,
// and it calls Paho and SQLite without the sender's mutex held.
class Work {
public:
    Work(const std::string &path, Progress &progress, outbox::Claim &claim, std::mutex &mutex,
         std::condition_variable &wake)
        : path_(path), progress_(progress), claim_(claim), mutex_(mutex), wake_(wake)
    {
    }
    ~Work() { leave(); }

    // With the sender's mutex held.
    Events take() { return client_ ? client_->take() : Events{}; }
    bool pending() const { return client_ && client_->pending().any(); }

    void settle(const std::optional<Settings> &settings);
    void offerLive(const std::string &topic, const std::string &payload, long version);
    void handle(const Events &events);
    void step();
    Clock::time_point deadline() const;
    // Says "offline", waits a moment for what is in flight and closes the
    // connection.
    void leave();

private:
    void database(Clock::time_point now);
    void opened();
    void salvage(const Salvage &job);
    void look(Clock::time_point now);
    void replaceVanished(Clock::time_point now);
    bool settled();
    void connection(Clock::time_point now);
    void sendLive();
    void tellDropped();
    void recordTold();
    void fill();
    long long lowWater() const;
    void removeAcknowledged(Clock::time_point now, bool now_or_never);
    void acknowledged(const std::vector<int> &tokens);
    void lost();
    void forgetWindow();
    void retryLater(Clock::time_point now);
    void damaged();

    const std::string path_;
    Progress &progress_;
    outbox::Claim &claim_;
    std::mutex &mutex_;
    std::condition_variable &wake_;

    Database db_;
    int generation_ = -1;
    Clock::time_point reopenAt_{};
    // The files open, to tell when the names stand for others.
    outbox::os::FileId file_, log_, index_;
    Clock::time_point nextLook_{};

    std::optional<Settings> settings_;
    std::unique_ptr<Client> client_;
    bool connecting_ = false;
    bool connected_ = false;
    Clock::time_point connectAt_{};
    std::chrono::seconds backoff_ = 1s;

    // Sent on this connection and not yet acknowledged, oldest first; every
    // row up to cursor_ has been sent, and every row below removedBelow_
    // is gone from the file.
    std::vector<InFlight> window_;
    long long cursor_ = 0;
    long long removedBelow_ = 0;
    Clock::time_point nextRemoval_{};
    std::vector<outbox::Row> rows_;

    outbox::Dropped told_;
    int toldToken_ = kNoToken;
    bool toldUnrecorded_ = false;  // told_ acknowledged, the file not yet updated

    std::string liveTopic_, livePayload_;
    long liveVersion_ = 0;
    long liveSent_ = 0;  // the version sent on this connection

    Clock::time_point nextCheckpoint_ = Clock::now() + 2s;
};

void Work::settle(const std::optional<Settings> &settings)
{
    if (settings == settings_)
        return;
    leave();
    settings_ = settings;
    backoff_ = 1s;
    connectAt_ = Clock::now();
    progress_.state = settings_ ? kMqttConnecting : kMqttClosed;
}

void Work::offerLive(const std::string &topic, const std::string &payload, long version)
{
    liveTopic_ = topic;
    livePayload_ = payload;
    liveVersion_ = version;
}

void Work::handle(const Events &events)
{
    if (events.connected && client_) {
        connecting_ = false;
        connected_ = true;
        backoff_ = 1s;
        progress_.state = kMqttConnected;
        client_->send(settings_->status_topic, "online", true);
        // A broker that restarted without saving, or another broker, has
        // not got it.
        liveSent_ = 0;
        // Everything not yet removed goes again, oldest first.
        cursor_ = std::max(removedBelow_ - 1, 0LL);
        toldToken_ = kNoToken;
    }
    if (events.refused) {
        connecting_ = false;
        progress_.state = events.refused;
        retryLater(Clock::now());
    }
    acknowledged(events.acknowledged);
    if (events.lost)
        lost();
}

void Work::acknowledged(const std::vector<int> &tokens)
{
    for (const int token : tokens) {
        if (token == toldToken_) {
            toldToken_ = kNoToken;
            toldUnrecorded_ = true;
            recordTold();
            continue;
        }
        const auto at = std::find_if(window_.begin(), window_.end(), [token](const InFlight &f) { return f.token == token; });
        if (at != window_.end())
            window_.erase(at);
    }
}

// Rows of the window not acknowledged go again, except those the bound
// dropped meanwhile: those never reached the broker.
void Work::forgetWindow()
{
    std::lock_guard hand(progress_.hand);
    outbox::Dropped gone;
    for (const InFlight &f : window_) {
        if (f.seq >= progress_.firstWaiting)
            continue;
        gone.first_seq = gone.count ? std::min(gone.first_seq, f.seq) : f.seq;
        gone.last_seq = std::max(gone.last_seq, f.seq);
        ++gone.count;
    }
    if (gone.count > 0 && db_.isOpen() && db_.countDropped(gone) == Result::ok) {
        progress_.unreported += gone.count;
        progress_.droppedInFlight += gone.count;
    }
    cursor_ = lowWater() - 1;
    progress_.handedThrough = cursor_;
    window_.clear();
}

void Work::lost()
{
    removeAcknowledged(Clock::now(), true);
    forgetWindow();
    connected_ = connecting_ = false;
    progress_.wantsRows = false;
    toldToken_ = kNoToken;
    progress_.state = kMqttConnecting;
    // A new client for the next attempt, so that nothing of the lost
    // connection is sent again behind the sender's back; made before the
    // old one goes, so that Paho keeps its threads.
    client_ = std::make_unique<Client>(*settings_, mutex_, wake_);
    retryLater(Clock::now());
}

void Work::retryLater(Clock::time_point now)
{
    connectAt_ = now + backoff_;
    backoff_ = std::min(backoff_ * 2, std::chrono::seconds(8));
}

void Work::step()
{
    const Clock::time_point now = Clock::now();
    database(now);
    look(now);
    connection(now);
    if (connected_)
        sendLive();
    if (connected_ && db_.isOpen()) {
        tellDropped();
        settled();
        fill();
    }
    removeAcknowledged(now, false);
    if (now >= nextCheckpoint_) {
        db_.checkpoint();
        nextCheckpoint_ = now + 2s;
    }
}

void Work::database(Clock::time_point now)
{
    if (progress_.damaged) {
        db_.close();
        progress_.senderClosed = true;
        return;
    }
    const int generation = progress_.generation;
    if (db_.isOpen() && generation == generation_)
        return;
    if (generation == generation_ && now < reopenAt_)
        return;
    const Result r = db_.open(path_, Database::Role::sender);
    if (r == Result::ok) {
        opened();
        generation_ = generation;
        // A new file's numbers lie above the old one's, and what it carries
        // of a damaged one goes again: what was in flight from the old one
        // is forgotten.
        window_.clear();
        removedBelow_ = 0;
        cursor_ = 0;
        progress_.handedThrough = 0;
        toldToken_ = kNoToken;
        std::optional<Salvage> job;
        {
            std::lock_guard note(progress_.notes);
            job.swap(progress_.salvage);
        }
        if (job)
            salvage(*job);
        toldUnrecorded_ = false;
    } else if (r == Result::damaged) {
        damaged();
    } else {
        reopenAt_ = now + 1s;
    }
}

void Work::opened()
{
    // The adding side made the file and its log before the sender began.
    file_ = outbox::os::fileId(path_);
    log_ = outbox::os::fileId(path_ + "-wal");
    index_ = outbox::os::fileId(path_ + "-shm");
}

// Before anything of the new file is sent, so that the carried rows go out
// first, in order.  The user-interface thread meanwhile adds above them, in
// commits of its own between the carry's; the bound, which may pass them
// meanwhile, waits for each commit (under `hand`), so that every row
// dropped is counted once, here or there.  Every read moves on past the
// last row, or ends: a badly damaged file ends the carry, never holds it.
void Work::salvage(const Salvage &job)
{
    progress_.handedThrough = job.sent;
    Database from;
    const bool open = from.open(job.aside, Database::Role::reader) == Result::ok;
    // Drops the broker was not told of yet go on, less those it was told
    // of and the file did not record.
    outbox::Dropped untold;
    if (open && from.dropped(untold) == Result::ok && toldUnrecorded_) {
        untold.count -= told_.count;
        untold.first_seq = told_.last_seq + 1;
    }
    if (untold.count > 0 && db_.countDropped(untold) == Result::ok)
        progress_.unreported += untold.count;
    long long last = job.after;
    bool leading = true;
    std::vector<outbox::Row> rows;
    for (int batch = 1;; ++batch) {
        bool skipped = true;
        if (!open || from.readPast(last, 256, rows, skipped) != Result::ok)
            rows.clear();
        // Unreadable rows the broker had, or that lie before the first
        // readable one where the file's start is not known, are not counted.
        outbox::Dropped unreadable;
        if (skipped && (job.knownStart || !leading))
            unreadable.add(std::max(last, job.sent) + 1, rows.empty() ? job.through : rows.front().seq - 1);
        leading = false;
        outbox::Carried carried;
        {
            std::lock_guard hand(progress_.hand);
            const Result r = db_.carryRows(rows, progress_.firstWaiting, job.sent, unreadable, carried);
            if (r == Result::damaged) {
                progress_.salvaging = false;
                return damaged();
            }
            if (r != Result::ok)
                break;
        }
        progress_.salvaged += carried.rows;
        progress_.unreadable += unreadable.count + carried.lost;
        progress_.droppedInFlight += carried.overtaken;
        progress_.unreported += unreadable.count + carried.lost + carried.overtaken;
        if (rows.empty())
            break;
        last = rows.back().seq;
        // A week's rows would otherwise pile up in the log until the end.
        if (batch % 256 == 0)
            db_.checkpoint();
    }
    progress_.salvaging = false;
    from.close();
    outbox::forgetIndex(job.aside);
    // What waits now begins at the lowest row of the new file: the carried
    // ones and those added since; none was added at or below `through` once
    // the file is found empty.
    const long long through = progress_.lastAdded;
    long long highest = 0, lowest = 0;
    if (db_.ends(highest, lowest) == Result::ok)
        progress_.passed(lowest > 0 ? lowest : through + 1);
}

// Once a second, whether or not anything is added or sent: readings may
// come an hour apart, and a file deleted meanwhile would take that hour's
// messages with it when the program ends.
void Work::look(Clock::time_point now)
{
    if (now < nextLook_)
        return;
    nextLook_ = now + 1s;
    if (db_.isOpen() && !progress_.damaged) {
        const outbox::os::FileId at = outbox::os::fileId(path_);
        if (!file_.known)
            file_ = at;
        else if (!(at == file_))
            replaceVanished(now);
    }
    claim_.keep();
}

// The old file is still open here and on the user-interface thread, and
// stays readable through them: what it holds goes into a new file at the
// path, numbers and payloads as they were, and the numbering goes on above
// everything either file handed out.  Whatever fails is tried again a
// second later, sending on from the old file meanwhile.
void Work::replaceVanished(Clock::time_point now)
{
    namespace os = outbox::os;
    if (!progress_.gone) {
        progress_.goneAt = static_cast<long long>(GetUnixTime() * 1000);
        progress_.gone = true;
    }
    removeAcknowledged(now, true);
    recordTold();
    const std::size_t cut = path_.find_last_of("/\\");
    if (cut != std::string::npos && cut > 0 && !os::makeFolder(path_.substr(0, cut)))
        return;
    // A log and its index left by the old file would be taken for the new
    // one's; a replacing file's own are not ours to touch.
    for (const auto &[suffix, id] : {std::pair{"-wal", log_}, std::pair{"-shm", index_}})
        if (id.known && os::fileId(path_ + suffix) == id)
            os::removeName(path_ + suffix);
    // The file found there is taken as it stands, unless it is damaged or
    // holds other messages under the numbers to be carried (a copy from
    // before the numbering began again): then it is kept aside for
    // inspection and a new one started above its numbers too.
    const long long last = progress_.lastAdded;
    long long above = last;
    Database fresh;
    outbox::Carried carried;
    Result r = Result::ok;
    for (int attempt = 0; attempt < 2; ++attempt) {
        r = fresh.open(path_, Database::Role::adder);
        if (r == Result::ok)
            r = fresh.carry(db_, progress_.firstWaiting - 1, last, above, true, attempt == 0, carried);
        if (r != Result::damaged && !carried.clashed)
            break;
        fresh.close();
        above = std::max(above, outbox::readableEnds(path_).highest);
        const std::string aside = outbox::moveAside(path_, r == Result::damaged ? "damaged" : "replaced");
        if (aside.empty())
            return;
        std::lock_guard note(progress_.notes);
        progress_.movedAside = aside;
        progress_.asideDamaged = r == Result::damaged;
    }
    long long highest = 0, lowest = 0;
    outbox::Dropped unreported;
    if (r == Result::ok)
        r = fresh.ends(highest, lowest);
    if (r == Result::ok)
        r = fresh.dropped(unreported);
    if (r != Result::ok)
        return;
    fresh.close();
    db_.keepLog();
    db_.close();
    window_.clear();
    cursor_ = 0;
    progress_.handedThrough = 0;
    removedBelow_ = 0;
    toldToken_ = kNoToken;
    toldUnrecorded_ = false;
    if (db_.open(path_, Database::Role::sender) == Result::ok)
        opened();
    else
        reopenAt_ = now + 1s;
    progress_.firstWaiting = lowest > 0 ? lowest : std::max(highest, last) + 1;
    progress_.unreported = unreported.count;
    progress_.lost += carried.lost;
    // Rows the other side adds to the old file before it follows lie above
    // what the first replacement it has not followed yet carried.
    if (progress_.followed == progress_.replaced)
        progress_.carriedThrough = carried.highest;
    progress_.gone = false;
    ++progress_.replaced;
}

// Whether the other side has followed the last replacement; once it has,
// the rows it carried below the cursor are sent too.
bool Work::settled()
{
    if (progress_.followed != progress_.replaced)
        return false;
    const long long back = progress_.rewind.exchange(0);
    if (back > 0 && back <= cursor_)
        cursor_ = back - 1;
    return true;
}

void Work::sendLive()
{
    if (liveVersion_ == liveSent_)
        return;
    if (client_->send(liveTopic_, livePayload_, true) != Client::kNotNow)
        liveSent_ = liveVersion_;
}

void Work::damaged()
{
    db_.close();
    progress_.damaged = true;
    progress_.senderClosed = true;
}

void Work::connection(Clock::time_point now)
{
    if (!settings_ || connected_ || connecting_ || now < connectAt_)
        return;
    if (!client_)
        client_ = std::make_unique<Client>(*settings_, mutex_, wake_);
    if (!client_->valid()) {
        // Nothing changes that until the settings do.
        progress_.state = kMqttBadSettings;
        connectAt_ = Clock::time_point::max();
        return;
    }
    if (client_->connect())
        connecting_ = true;
    else
        retryLater(now);
}

// The file's count of drops not told goes down by what the broker has
// acknowledged, now or, when the adder's commits keep the file busy, at a
// later step: told again instead, they would be counted twice.
void Work::recordTold()
{
    if (!toldUnrecorded_ || !db_.isOpen() || db_.reported(told_) != Result::ok)
        return;
    progress_.unreported -= told_.count;
    toldUnrecorded_ = false;
}

void Work::tellDropped()
{
    recordTold();
    if (toldUnrecorded_ || toldToken_ != kNoToken || progress_.unreported <= 0)
        return;
    const Result r = db_.dropped(told_);
    if (r == Result::damaged)
        return damaged();
    if (r != Result::ok)
        return;
    if (told_.count <= 0) {
        progress_.unreported = 0;
        return;
    }
    char time[40];
    GetIsoTime(time, 1);
    const std::string payload = std::string("{\"time\":\"") + time + "\",\"dropped\":" + std::to_string(told_.count) +
                                ",\"first_seq\":" + std::to_string(told_.first_seq) +
                                ",\"last_seq\":" + std::to_string(told_.last_seq) + "}";
    const int token = client_->send(settings_->dropped_topic, payload, false);
    toldToken_ = token >= 0 ? token : kNoToken;
}

void Work::fill()
{
    while (window_.size() < Sender::kWindow) {
        // Said before the rows are read, so that a row stored after the
        // read wakes the sender.
        progress_.wantsRows = true;
        const Result r = db_.next(cursor_, Sender::kWindow - static_cast<int>(window_.size()), rows_);
        if (r == Result::damaged)
            return damaged();
        if (r != Result::ok || rows_.empty())
            return;
        for (const outbox::Row &row : rows_) {
            std::lock_guard hand(progress_.hand);
            // Read before the bound dropped it, and counted by the adder.
            const bool dropped = row.seq < progress_.firstWaiting;
            const int token = dropped ? Client::kNever : client_->send(row.topic, row.payload, false);
            if (token == Client::kNotNow)
                return;
            cursor_ = row.seq;
            progress_.handedThrough = std::max(progress_.handedThrough.load(), row.seq);
            // A row the client library refuses outright (its topic is not
            // UTF-8) would hold back every row after it: it is passed
            // over and removed with its neighbours.
            if (token >= 0)
                window_.push_back(InFlight{token, row.seq});
        }
    }
    // A full window waits for acknowledgements, not for rows.
    progress_.wantsRows = false;
}

long long Work::lowWater() const
{
    long long low = cursor_ + 1;
    for (const InFlight &f : window_)
        low = std::min(low, f.seq);
    return low;
}

void Work::removeAcknowledged(Clock::time_point now, bool now_or_never)
{
    if (!settled())
        return;
    const long long low = lowWater();
    if (low <= removedBelow_ || !db_.isOpen())
        return;
    // Removed in batches while messages stream out; at once when the
    // window has emptied.
    if (!now_or_never && !window_.empty() && low - removedBelow_ < 256 && now < nextRemoval_)
        return;
    const Result r = db_.removeBelow(low);
    if (r == Result::damaged)
        return damaged();
    if (r != Result::ok)
        return;
    removedBelow_ = low;
    progress_.passed(low);
    nextRemoval_ = now + 100ms;
}

Clock::time_point Work::deadline() const
{
    const Clock::time_point now = Clock::now();
    Clock::time_point at = std::min({now + 1s, nextCheckpoint_, nextLook_});
    if (settings_ && !connected_ && !connecting_)
        at = std::min(at, connectAt_);
    if (lowWater() > removedBelow_ && db_.isOpen())
        at = std::min(at, nextRemoval_);
    return std::max(at, now);
}

void Work::leave()
{
    if (client_ && connected_) {
        client_->disconnect();
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, 2s, [this] { return client_->pending().gone; });
        }
        Events events;
        {
            std::lock_guard lock(mutex_);
            events = client_->take();
        }
        acknowledged(events.acknowledged);
    }
    removeAcknowledged(Clock::now(), true);
    forgetWindow();
    client_.reset();
    connected_ = connecting_ = false;
    progress_.wantsRows = false;
    toldToken_ = kNoToken;
}

}  // namespace

Sender::Sender(std::string path, Progress &progress, std::shared_ptr<outbox::Claim> claim)
    : path_(std::move(path)), progress_(progress), claim_(std::move(claim))
{
    thread_ = std::thread([this] { run(); });
}

Sender::~Sender()
{
    if (thread_.joinable())
        thread_.join();
}

void Sender::configure(const std::optional<Settings> &settings)
{
    {
        std::lock_guard lock(mutex_);
        if (settings == wanted_)
            return;
        wanted_ = settings;
        ++version_;
    }
    wake_.notify_all();
}

void Sender::added()
{
    if (progress_.wantsRows)
        wake();
}

void Sender::live(const std::string &topic, const std::string &payload)
{
    {
        std::lock_guard lock(mutex_);
        liveTopic_ = topic;
        livePayload_ = payload;
        ++liveVersion_;
        added_ = true;
    }
    wake_.notify_all();
}

void Sender::wake()
{
    {
        std::lock_guard lock(mutex_);
        added_ = true;
    }
    wake_.notify_all();
}

bool Sender::end(double seconds)
{
    std::unique_lock lock(mutex_);
    ending_ = true;
    wake_.notify_all();
    if (!wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return ended_; }))
        return false;
    lock.unlock();
    thread_.join();
    return true;
}

void Sender::run()
{
    {
        Work work(path_, progress_, *claim_, mutex_, wake_);
        std::unique_lock lock(mutex_);
        long seen = -1, liveSeen = 0;
        while (!ending_) {
            const bool changed = version_ != seen;
            const std::optional<Settings> settings = wanted_;
            seen = version_;
            if (liveVersion_ != liveSeen) {
                work.offerLive(liveTopic_, livePayload_, liveVersion_);
                liveSeen = liveVersion_;
            }
            const Events events = work.take();
            added_ = false;
            lock.unlock();
            if (changed)
                work.settle(settings);
            work.handle(events);
            work.step();
            lock.lock();
            wake_.wait_until(lock, work.deadline(),
                             [&] { return ending_ || version_ != seen || added_ || work.pending(); });
        }
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    wake_.notify_all();
}

}  // namespace rte::mqtt
