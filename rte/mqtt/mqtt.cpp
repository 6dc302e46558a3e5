// The outbox's side on the user-interface thread: the claim, the adding
// connection, the bound, the stream, a damaged file moved aside, a
// vanished one followed; and the sender, started with the outbox and ended
// with it.
#include "rte/mqtt.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "rte/formatio.h"
#include "rte/mqtt/claim.h"
#include "rte/mqtt/internal.h"
#include "rte/mqtt/sender.h"
#include "rte/mqtt/outbox_db.h"
#include "rte/utility.h"

namespace {

using rte::mqtt::Progress;
using rte::mqtt::Sender;
using rte::outbox::Claim;
using rte::outbox::Database;
using rte::outbox::Result;

// A sender and what it shares with this side, made and left together: a
// sender that did not end in time at the close goes on with its own.
struct Running {
    Running(const std::string &path, long long first, long long last, long long unreported,
            std::optional<rte::mqtt::Salvage> salvage, std::shared_ptr<Claim> claim)
        : progress(first, last, unreported, std::move(salvage)), sender(path, progress, std::move(claim))
    {
    }
    Progress progress;
    Sender sender;
};

struct Outbox {
    std::string path;
    long long limit = 1;
    Database db;
    std::shared_ptr<Claim> claim;
    bool held = false;
    bool notStored = false;
    bool damaged = false;
    std::string movedAside;
    // What the sender is to carry from the damaged file moved aside, until
    // it is handed to it.
    std::optional<rte::mqtt::Salvage> salvage;
    long long next = 1;
    long long dropped = 0;
    // The stream the messages added from now on belong to, and whether one
    // has been added to it.
    std::string stream;
    bool streamUsed = false;
    int followed = 0;  // the sender's replacements of a vanished file followed
    bool replaced = false;
    bool foreign = false;
    Running *running = nullptr;
    std::optional<rte::mqtt::Settings> wanted;
};

// Never destroyed, nor are the senders that did not end in time: they may
// still run while the program's static objects go.
Outbox &outbox()
{
    static auto *o = new Outbox;
    return *o;
}

std::vector<Running *> &abandoned()
{
    static auto *a = new std::vector<Running *>;
    return *a;
}

long long millisecondsSince1970()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// 128 bits that no other stream has, here or on another computer: the
// system's randomness, mixed with the clock, the process's addresses and a
// count, so that a system whose randomness repeats (a library that seeds
// a fixed generator) still gives a stream of its own.
std::string newStream()
{
    static std::uint64_t count = 0;
    const auto mix = [](std::uint64_t x) {
        x += 0x9e3779b97f4a7c15ULL;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    };
    std::uint64_t random[2] = {0, 0};
    try {
        std::random_device device;
        for (std::uint64_t &r : random)
            r = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (...) {
        // The clock and the rest below still make it this process's own.
    }
    const auto clock = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const auto place = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&count));
    ++count;
    const std::uint64_t halves[2] = {mix(random[0] ^ mix(clock ^ mix(count))),
                                     mix(random[1] ^ mix(ticks ^ mix(place)))};
    std::string text;
    for (const std::uint64_t h : halves)
        for (int shift = 60; shift >= 0; shift -= 4)
            text += "0123456789abcdef"[(h >> shift) & 15];
    return text;
}

void startStream(Outbox &o)
{
    o.stream = newStream();
    o.streamUsed = false;
}

// Moves the damaged file (and its log) aside and starts a new one whose
// numbers go on above the old one's: those it still tells or this side
// handed out, or else the clock's milliseconds, which no numbering counted
// one by one reaches.  The sender then carries what can still be read into
// it, below them, with its keys.  `waitingFrom`: the lowest row waiting in
// the old file, 0 when not known; `sent`: the rows up to this reached the
// broker.
Result replaceDamaged(Outbox &o, long long waitingFrom, long long lastAdded, long long sent)
{
    o.db.close();
    const rte::outbox::Ends told = rte::outbox::readableEnds(o.path);
    const std::string aside = rte::outbox::moveAside(o.path, "damaged");
    if (aside.empty())
        return Result::failed;
    o.movedAside = aside;
    o.damaged = true;
    startStream(o);
    const long long from = waitingFrom > 0 ? waitingFrom : told.lowest;
    const long long through = std::max(told.highest, lastAdded);
    o.salvage = rte::mqtt::Salvage{aside, from > 0 ? from - 1 : 0, from > 0, through, sent};
    Result r = o.db.open(o.path, Database::Role::adder);
    if (r == Result::ok)
        r = o.db.reserveThrough(through > 0 ? through : millisecondsSince1970());
    return r;
}

// Opens the adding connection, replacing a damaged file, and reads where
// the numbers stand.
Result openDatabase(Outbox &o, long long &first, long long &unreported)
{
    Result r = o.db.open(o.path, Database::Role::adder);
    long long highest = 0, lowest = 0;
    if (r == Result::ok)
        r = o.db.ends(highest, lowest);
    if (r == Result::damaged) {
        r = replaceDamaged(o, 0, 0, 0);
        if (r == Result::ok)
            r = o.db.ends(highest, lowest);
    }
    rte::outbox::Dropped d;
    if (r == Result::ok)
        r = o.db.dropped(d);
    if (r != Result::ok) {
        o.db.close();
        return r;
    }
    o.next = highest + 1;
    first = lowest > 0 ? lowest : o.next;
    // Rows of a damaged file are still to come in from there.
    if (o.salvage)
        first = std::min(first, o.salvage->after + 1);
    unreported = d.count;
    return Result::ok;
}

void closeOutbox(Outbox &o, double seconds)
{
    if (o.running) {
        if (o.running->sender.end(seconds))
            delete o.running;
        else
            abandoned().push_back(o.running);
        o.running = nullptr;
    }
    o.db.close();
    if (o.claim)
        o.claim->release();
    o.claim.reset();
}

// A damaged file found by either side: once the sender has let go of it,
// it is moved aside and a new one started.
void recover(Outbox &o)
{
    if (!o.running || !o.running->progress.damaged)
        return;
    o.db.close();
    Progress &p = o.running->progress;
    if (!p.senderClosed)
        return;
    long long first = 0, unreported = 0;
    if (replaceDamaged(o, p.firstWaiting, p.lastAdded, p.handedThrough) != Result::ok ||
        openDatabase(o, first, unreported) != Result::ok) {
        o.notStored = true;
        return;
    }
    p.firstWaiting = first;
    p.lastAdded = o.next - 1;
    p.unreported = unreported;
    {
        std::lock_guard note(p.notes);
        p.salvaging = o.salvage.has_value();
        p.salvage = std::move(o.salvage);
        o.salvage.reset();
    }
    // The sender opens the new file only once it is a new generation, and
    // takes the carry with it.
    ++p.generation;
    p.damaged = false;
    p.senderClosed = false;
    o.running->sender.wake();
}

// The sender found the file gone or replaced and made a new one: this side
// adds to it from now on, after carrying what it added to the old file
// since the sender read it, in a new stream.  Until that succeeds it adds
// to the old file, to be carried next time.
void follow(Outbox &o)
{
    if (!o.running)
        return;
    Progress &p = o.running->progress;
    const int replaced = p.replaced;
    if (replaced == o.followed)
        return;
    Database fresh;
    rte::outbox::Carried late;
    long long highest = 0, lowest = 0;
    Result r = fresh.open(o.path, Database::Role::adder);
    if (r == Result::ok)
        r = fresh.carry(o.db, p.carriedThrough, o.next - 1, o.next - 1, false, false, late);
    if (r == Result::ok)
        r = fresh.ends(highest, lowest);
    if (r != Result::ok)
        return;
    o.db.keepLog();
    o.db.close();
    fresh.close();
    if (o.db.open(o.path, Database::Role::adder) != Result::ok)
        o.notStored = true;
    o.next = std::max(o.next, highest + 1);
    p.lastAdded = o.next - 1;
    p.lost += late.lost;
    {
        std::lock_guard note(p.notes);
        if (!p.movedAside.empty()) {
            o.movedAside = p.movedAside;
            (p.asideDamaged ? o.damaged : o.foreign) = true;
            p.movedAside.clear();
        }
    }
    startStream(o);
    o.replaced = true;
    o.followed = replaced;
    // Said before the sender may remove rows again.
    if (late.lowest > 0)
        p.rewind = late.lowest;
    p.followed = replaced;
    o.running->sender.wake();
}

// Local time as "2026-12-10T14:02:11".
std::string localTime(long long ms)
{
    const auto t = static_cast<std::time_t>(ms / 1000);
    // The engine's calls belong to one thread: localtime's shared result
    // is copied before anything else can call it.
    const std::tm *l = std::localtime(&t);
    if (!l)
        return {};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", l->tm_year + 1900, l->tm_mon + 1, l->tm_mday,
                  l->tm_hour, l->tm_min, l->tm_sec);
    return text;
}

int copyOut(const std::string &text, std::span<char> out)
{
    if (out.empty())
        return -1;
    if (text.size() >= out.size()) {
        out[0] = '\0';
        return -1;
    }
    text.copy(out.data(), text.size());
    out[text.size()] = '\0';
    return 0;
}

}  // namespace

int OutboxOpen(const char *path, long long limit)
{
    Outbox &o = outbox();
    o.limit = limit > 0 ? limit : 1;
    if (o.running && o.path == path)
        return 0;
    closeOutbox(o, 0.04);
    o.path = path;
    o.notStored = o.held = o.replaced = o.foreign = false;
    o.followed = 0;
    o.salvage.reset();
    bool held = false;
    o.claim = std::make_shared<Claim>();
    if (!o.claim->take(o.path, held)) {
        o.claim.reset();
        o.held = held;
        o.notStored = !held;
        return -1;
    }
    long long first = 0, unreported = 0;
    startStream(o);
    if (openDatabase(o, first, unreported) != Result::ok) {
        o.notStored = true;
        closeOutbox(o, 0);
        return -1;
    }
    o.dropped = unreported;
    o.running = new Running(o.path, first, o.next - 1, unreported, std::move(o.salvage), o.claim);
    o.salvage.reset();
    if (o.wanted)
        o.running->sender.configure(o.wanted);
    return 0;
}

long long OutboxAdd(const char *topic, const char *members, const char *live_topic)
{
    Outbox &o = outbox();
    if (!o.running)
        return -1;
    recover(o);
    follow(o);
    if (!o.db.isOpen()) {
        o.notStored = true;
        return -1;
    }
    Progress &p = o.running->progress;
    const long long seq = o.next;
    std::string payload = "{\"seq\":" + std::to_string(seq) + ",\"stream\":\"" + o.stream + '"';
    if (members[0] != '\0')
        payload.append(",").append(members);
    payload += '}';
    // The bound: after this message at most `limit` wait.
    const long long keepFrom = seq - o.limit + 1;
    const long long dropBelow = keepFrom > p.firstWaiting ? keepFrom : 0;
    long long dropped = 0;
    std::unique_lock hand(p.hand, std::defer_lock);
    if (dropBelow > 0 || p.salvaging)
        hand.lock();
    const Result r = o.db.add(seq, topic, payload, dropBelow, p.handedThrough, dropped);
    if (r != Result::ok) {
        o.notStored = true;
        if (r == Result::damaged) {
            p.damaged = true;
            o.db.close();
            o.running->sender.wake();
        }
        return -1;
    }
    o.notStored = false;
    o.next = seq + 1;
    o.streamUsed = true;
    p.lastAdded = seq;
    if (dropBelow > 0)
        p.passed(dropBelow);
    if (hand.owns_lock())
        hand.unlock();
    if (dropped > 0) {
        p.unreported += dropped;
        o.dropped += dropped;
    }
    if (live_topic && live_topic[0] != '\0')
        o.running->sender.live(live_topic, payload);
    o.running->sender.added();
    return seq;
}

OutboxStatus GetOutboxStatus()
{
    Outbox &o = outbox();
    recover(o);
    follow(o);
    OutboxStatus s{0, o.dropped, 0, 0, 0, 0};
    bool gone = false;
    if (o.running) {
        const Progress &p = o.running->progress;
        s.waiting = std::max(0LL, p.lastAdded - p.firstWaiting + 1);
        s.dropped += p.droppedInFlight;
        s.lost = p.lost;
        s.salvaged = p.salvaged;
        s.unreadable = p.unreadable;
        gone = p.gone;
    }
    s.faults = (o.notStored ? kOutboxNotStored : 0) | (o.damaged ? kOutboxDamaged : 0) |
               (o.held ? kOutboxHeldElsewhere : 0) | (o.replaced ? kOutboxReplaced : 0) | (gone ? kOutboxGone : 0) |
               (o.foreign ? kOutboxForeign : 0);
    return s;
}

int outboxMovedAside(std::span<char> path)
{
    return copyOut(outbox().movedAside, path);
}

int outboxGoneAt(std::span<char> time)
{
    const Outbox &o = outbox();
    const long long at = o.running ? o.running->progress.goneAt.load() : 0;
    return copyOut(at > 0 ? localTime(at) : std::string(), time);
}

void OutboxContinueAbove(long long seq)
{
    Outbox &o = outbox();
    follow(o);
    if (!o.running || seq < o.next || o.db.reserveThrough(seq) != Result::ok)
        return;
    // Within a stream the numbers go up by one: a jump begins another.
    if (o.streamUsed)
        startStream(o);
    o.next = seq + 1;
    if (o.running->progress.lastAdded < o.running->progress.firstWaiting)
        o.running->progress.firstWaiting = o.next;
    o.running->progress.lastAdded = seq;
}

void MqttConnect(const MqttOptions &options)
{
    Outbox &o = outbox();
    o.wanted = rte::mqtt::Settings{options.host,     options.port,      options.tls != 0,
                                   options.ca_file,  options.user,      options.password,
                                   options.client_id, options.status_topic, options.dropped_topic};
    if (o.running)
        o.running->sender.configure(o.wanted);
}

void MqttDisconnect()
{
    Outbox &o = outbox();
    o.wanted.reset();
    if (o.running)
        o.running->sender.configure(o.wanted);
}

int MqttState()
{
    const Outbox &o = outbox();
    return o.running ? o.running->progress.state.load() : kMqttClosed;
}

void MqttClose(double seconds)
{
    Outbox &o = outbox();
    closeOutbox(o, seconds);
    o.wanted.reset();
    o.held = o.notStored = o.damaged = o.replaced = o.foreign = false;
    o.movedAside.clear();
    o.dropped = 0;
}

namespace rte::mqtt {

bool endAbandoned(double seconds)
{
    std::vector<Running *> &left = abandoned();
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!left.empty()) {
        const double remaining =
            std::chrono::duration<double>(until - std::chrono::steady_clock::now()).count();
        if (!left.back()->sender.end(std::max(remaining, 0.0)))
            return false;
        delete left.back();
        left.pop_back();
    }
    return true;
}

int holdCommits(bool hold)
{
    return ::outbox().db.holdCommits(hold) == Result::ok ? 0 : -1;
}

}  // namespace rte::mqtt
