// The outbox's side on the user-interface thread: the lock, the adding
// connection, the bound, a damaged file moved aside; and the sender,
// started with the outbox and ended with it.
#include "rte/mqtt.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "rte/format/files_os.h"
#include "rte/formatio.h"
#include "rte/mqtt/internal.h"
#include "rte/mqtt/sender.h"
#include "rte/mqtt/outbox_db.h"
#include "rte/utility.h"

namespace {

using rte::mqtt::Progress;
using rte::mqtt::Sender;
using rte::outbox::Database;
using rte::outbox::Result;
namespace os = rte::files::os;

// A sender and what it shares with this side, made and left together: a
// sender that did not end in time at the close goes on with its own.
struct Running {
    Running(const std::string &path, long long first, long long last, long long unreported)
        : progress(first, last, unreported), sender(path, progress)
    {
    }
    Progress progress;
    Sender sender;
};

struct Outbox {
    std::string path;
    long long limit = 1;
    Database db;
    int lock = -1;
    bool held = false;
    bool notStored = false;
    bool damaged = false;
    std::string movedAside;
    long long next = 1;
    long long dropped = 0;
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

std::filesystem::path fsPath(const std::string &utf8)
{
    return std::filesystem::u8path(utf8);
}

// Moves the damaged file (and its log) aside under a name that says when,
// and starts a new one whose numbers lie above the old one's: those it
// still tells, or else the clock's milliseconds, which no numbering
// counted one by one reaches.
Result replaceDamaged(Outbox &o)
{
    o.db.close();
    const long long above = std::max(rte::outbox::readableSequence(o.path), millisecondsSince1970());
    char stamp[40];
    GetIsoTime(stamp, 1);
    std::string when;
    for (const char c : std::string_view(stamp).substr(0, 19))
        if (c != '-' && c != ':')
            when += c;
    const std::string aside = o.path + ".damaged-" + when;
    if (os::rename(o.path.c_str(), aside.c_str()) != 0)
        return Result::failed;
    os::rename((o.path + "-wal").c_str(), (aside + "-wal").c_str());
    std::error_code ignored;
    std::filesystem::remove(fsPath(o.path + "-shm"), ignored);
    o.movedAside = aside;
    o.damaged = true;
    Result r = o.db.open(o.path, Database::Role::adder);
    if (r == Result::ok)
        r = o.db.reserveThrough(above);
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
        r = replaceDamaged(o);
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
    if (o.lock >= 0)
        os::unlockFile(o.lock);
    o.lock = -1;
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
    if (replaceDamaged(o) != Result::ok || openDatabase(o, first, unreported) != Result::ok) {
        o.notStored = true;
        return;
    }
    p.firstWaiting = first;
    p.lastAdded = o.next - 1;
    p.unreported = unreported;
    p.damaged = false;
    p.senderClosed = false;
    ++p.generation;
    o.running->sender.wake();
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
    o.notStored = o.held = false;
    bool held = false;
    o.lock = os::lockFile((o.path + ".lock").c_str(), held);
    if (o.lock < 0) {
        o.held = held;
        o.notStored = !held;
        return -1;
    }
    long long first = 0, unreported = 0;
    if (openDatabase(o, first, unreported) != Result::ok) {
        o.notStored = true;
        closeOutbox(o, 0);
        return -1;
    }
    o.dropped = unreported;
    o.running = new Running(o.path, first, o.next - 1, unreported);
    if (o.wanted)
        o.running->sender.configure(o.wanted);
    return 0;
}

long long OutboxAdd(const char *topic, const char *members)
{
    Outbox &o = outbox();
    if (!o.running)
        return -1;
    recover(o);
    if (!o.db.isOpen()) {
        o.notStored = true;
        return -1;
    }
    Progress &p = o.running->progress;
    const long long seq = o.next;
    std::string payload = "{\"seq\":" + std::to_string(seq);
    if (members[0] != '\0')
        payload.append(",").append(members);
    payload += '}';
    // The bound: after this message at most `limit` wait.
    const long long keepFrom = seq - o.limit + 1;
    const long long dropBelow = keepFrom > p.firstWaiting ? keepFrom : 0;
    long long dropped = 0;
    const Result r = o.db.add(seq, topic, payload, dropBelow, dropped);
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
    p.lastAdded = seq;
    if (dropBelow > 0)
        p.passed(dropBelow);
    if (dropped > 0) {
        p.unreported += dropped;
        o.dropped += dropped;
    }
    o.running->sender.added();
    return seq;
}

OutboxStatus GetOutboxStatus()
{
    Outbox &o = outbox();
    recover(o);
    OutboxStatus s{0, o.dropped, 0};
    if (o.running)
        s.waiting = std::max(0LL, o.running->progress.lastAdded - o.running->progress.firstWaiting + 1);
    s.faults = (o.notStored ? kOutboxNotStored : 0) | (o.damaged ? kOutboxDamaged : 0) |
               (o.held ? kOutboxHeldElsewhere : 0);
    return s;
}

int outboxMovedAside(std::span<char> path)
{
    const std::string &aside = outbox().movedAside;
    if (path.empty())
        return -1;
    if (aside.size() >= path.size()) {
        path[0] = '\0';
        return -1;
    }
    aside.copy(path.data(), aside.size());
    path[aside.size()] = '\0';
    return 0;
}

void OutboxContinueAbove(long long seq)
{
    Outbox &o = outbox();
    if (!o.running || seq < o.next || o.db.reserveThrough(seq) != Result::ok)
        return;
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
    o.held = o.notStored = o.damaged = false;
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
