#include "rte/mqtt/outbox_db.h"

#include "rte/mqtt/sqlite.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "rte/format/files_os.h"

namespace rte::outbox {
namespace {

// Only after sqlite() has answered: an outbox is opened first.
const Sqlite &lib() { return *sqlite(); }

const char *const kSchema =
    "CREATE TABLE IF NOT EXISTS outbox("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " topic TEXT NOT NULL,"
    " payload TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS dropped("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    " count INTEGER NOT NULL,"
    " first_seq INTEGER NOT NULL,"
    " last_seq INTEGER NOT NULL);";

// Rows above ?1, as a seek for the number after it: the seek lands in the
// page that holds that number, not in the one before it, which may be
// damaged.
const char *const kSelect = "SELECT seq, topic, payload FROM outbox WHERE seq >= ?1 + 1 ORDER BY seq LIMIT ?2";

// A statement that is reset whatever happens, so that no reader keeps a
// snapshot of the log open (it would hold every checkpoint back).
class Use {
public:
    explicit Use(sqlite3_stmt *s) : s_(s) {}
    ~Use()
    {
        lib().reset(s_);
        lib().clear_bindings(s_);
    }
    Use(const Use &) = delete;
    Use &operator=(const Use &) = delete;

private:
    sqlite3_stmt *s_;
};

}  // namespace

void Dropped::add(long long first, long long last)
{
    if (last < first)
        return;
    first_seq = count == 0 ? first : std::min(first_seq, first);
    last_seq = count == 0 ? last : std::max(last_seq, last);
    count += last - first + 1;
}

Result Database::judge(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return Result::ok;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Result::damaged;
    default:
        return Result::failed;
    }
}

Result Database::run(const char *sql)
{
    return judge(lib().exec(db_, sql, nullptr, nullptr, nullptr));
}

Result Database::step(sqlite3_stmt *statement)
{
    return statement ? judge(lib().step(statement)) : Result::failed;
}

sqlite3_stmt *Database::prepare(const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (lib().prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK)
        return nullptr;
    statements_.push_back(statement);
    return statement;
}

Result Database::open(const std::string &path, Role role)
{
    close();
    if (!sqlite())
        return Result::failed;
    const int flags = role == Role::reader ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int rc = lib().open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const Result r = judge(rc);
        close();
        return r == Result::ok ? Result::failed : r;
    }
    if (role == Role::reader) {
        // As found: no schema made, nothing written, not even the header.
        select_ = prepare(kSelect);
        if (select_)
            return Result::ok;
        const Result r = judge(lib().errcode(db_));
        close();
        return r == Result::ok ? Result::failed : r;
    }
    // The other side's commits are short: wait for them rather than fail.
    lib().busy_timeout(db_, role == Role::adder ? 200 : 2000);
    // The adder's commit is the message's promise: synced before it
    // returns.  Pages of 1 KiB (a new file's; one message is some 170
    // bytes) keep what each commit writes and syncs small.  The sender
    // alone checkpoints, on its own thread, so that no hand-over ever waits
    // for one.
    const char *tuning = role == Role::adder
                             ? "PRAGMA page_size=1024; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA wal_autocheckpoint=0;"
                             : "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA wal_autocheckpoint=0;"
                               "PRAGMA journal_size_limit=4194304;";
    Result r = run(tuning);
    if (r == Result::ok)
        r = run(kSchema);
    if (r == Result::ok) {
        insert_ = prepare("INSERT INTO outbox(seq, topic, payload) VALUES(?1, ?2, ?3)");
        below_ = prepare("DELETE FROM outbox WHERE seq < ?1");
        countDropped_ = prepare(
            "INSERT INTO dropped(id, count, first_seq, last_seq) VALUES(1, ?1, ?2, ?3)"
            " ON CONFLICT(id) DO UPDATE SET count = count + excluded.count,"
            " first_seq = min(first_seq, excluded.first_seq), last_seq = max(last_seq, excluded.last_seq)");
        unsent_ = prepare("SELECT count(*), min(seq), max(seq) FROM outbox WHERE seq > ?1 AND seq < ?2");
        select_ = prepare(kSelect);
        carry_ = prepare("INSERT OR IGNORE INTO outbox(seq, topic, payload) VALUES(?1, ?2, ?3)");
        same_ = prepare("SELECT 1 FROM outbox WHERE seq = ?1 AND topic = ?2 AND payload = ?3");
        if (!insert_ || !below_ || !countDropped_ || !unsent_ || !select_ || !carry_ || !same_) {
            r = judge(lib().errcode(db_));
            if (r == Result::ok)
                r = Result::failed;
        }
    }
    if (r != Result::ok)
        close();
    return r;
}

void Database::close()
{
    for (sqlite3_stmt *s : statements_)
        lib().finalize(s);
    statements_.clear();
    insert_ = below_ = countDropped_ = unsent_ = select_ = carry_ = same_ = nullptr;
    holding_ = false;
    if (db_)
        lib().close_v2(db_);
    db_ = nullptr;
}

Result Database::ends(long long &highest, long long &lowest)
{
    sqlite3_stmt *s = nullptr;
    if (lib().prepare_v2(db_,
                           "SELECT coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'outbox'), 0),"
                           " coalesce((SELECT min(seq) FROM outbox), 0)",
                           -1, &s, nullptr) != SQLITE_OK)
        return judge(lib().errcode(db_));
    const int rc = lib().step(s);
    if (rc == SQLITE_ROW) {
        highest = lib().column_int64(s, 0);
        lowest = lib().column_int64(s, 1);
    }
    lib().finalize(s);
    return rc == SQLITE_ROW ? Result::ok : judge(rc);
}

Result Database::reserveThrough(long long seq)
{
    // The table's own counter: AUTOINCREMENT never hands out a number at or
    // below it, whoever inserts.
    for (const char *sql : {"INSERT INTO sqlite_sequence(name, seq) SELECT 'outbox', ?1"
                            " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'outbox')",
                            "UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE name = 'outbox'"}) {
        sqlite3_stmt *s = nullptr;
        if (lib().prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK)
            return judge(lib().errcode(db_));
        lib().bind_int64(s, 1, seq);
        const Result r = judge(lib().step(s));
        lib().finalize(s);
        if (r != Result::ok)
            return r;
    }
    return Result::ok;
}

Result Database::add(long long seq, const char *topic, const std::string &payload, long long dropBelow,
                     long long handedThrough, long long &dropped)
{
    dropped = 0;
    if (!db_)
        return Result::failed;
    const bool own = dropBelow > 0 && !holding_;
    if (own) {
        const Result r = run("BEGIN IMMEDIATE");
        if (r != Result::ok)
            return r;
    }
    Result r;
    {
        Use use(insert_);
        lib().bind_int64(insert_, 1, seq);
        lib().bind_text(insert_, 2, topic, -1, SQLITE_STATIC);
        lib().bind_text(insert_, 3, payload.data(), static_cast<int>(payload.size()), SQLITE_STATIC);
        r = step(insert_);
    }
    if (r == Result::ok && dropBelow > 0) {
        Dropped unsent;
        {
            Use use(unsent_);
            lib().bind_int64(unsent_, 1, handedThrough);
            lib().bind_int64(unsent_, 2, dropBelow);
            const int rc = lib().step(unsent_);
            r = judge(rc);
            if (rc == SQLITE_ROW)
                unsent = Dropped{lib().column_int64(unsent_, 0), lib().column_int64(unsent_, 1),
                                 lib().column_int64(unsent_, 2)};
        }
        if (r == Result::ok) {
            Use use(below_);
            lib().bind_int64(below_, 1, dropBelow);
            r = step(below_);
        }
        if (r == Result::ok && unsent.count > 0) {
            dropped = unsent.count;
            r = countDropped(unsent);
        }
    }
    if (own) {
        if (r == Result::ok)
            r = run("COMMIT");
        if (r != Result::ok)
            run("ROLLBACK");
    }
    if (r != Result::ok)
        dropped = 0;
    return r;
}

Result Database::holdCommits(bool hold)
{
    if (!db_ || hold == holding_)
        return db_ ? Result::ok : Result::failed;
    const Result r = run(hold ? "BEGIN IMMEDIATE" : "COMMIT");
    if (r == Result::ok)
        holding_ = hold;
    return r;
}

Result Database::next(long long after, int count, std::vector<Row> &rows)
{
    rows.clear();
    if (!db_)
        return Result::failed;
    Use use(select_);
    lib().bind_int64(select_, 1, after);
    lib().bind_int(select_, 2, count);
    int rc;
    while ((rc = lib().step(select_)) == SQLITE_ROW) {
        const auto *topic = reinterpret_cast<const char *>(lib().column_text(select_, 1));
        const auto *payload = static_cast<const char *>(lib().column_blob(select_, 2));
        const int size = lib().column_bytes(select_, 2);
        rows.push_back(Row{lib().column_int64(select_, 0), topic ? topic : "",
                           std::string(payload ? payload : "", static_cast<std::size_t>(size))});
    }
    return judge(rc);
}

Result Database::readPast(long long after, int count, std::vector<Row> &rows, bool &skipped)
{
    skipped = false;
    // Rows at or below `after` from a damaged page that SQLite took for a
    // sound one are not rows of this file's order.
    const auto sound = [&rows, after](Result r) {
        long long last = after;
        const auto wrong = std::find_if(rows.begin(), rows.end(), [&last](const Row &row) {
            const bool above = row.seq > last;
            last = row.seq;
            return !above;
        });
        if (wrong != rows.end()) {
            rows.erase(wrong, rows.end());
            r = Result::damaged;
        }
        return r;
    };
    Result r = sound(next(after, count, rows));
    if (r != Result::damaged || !rows.empty())
        return rows.empty() ? r : Result::ok;
    // A seek lands in the page that holds its number: one above a damaged
    // stretch reads, one in it does not.  Seeks further and further up
    // until one reads, then halves the distance back to the first that
    // does: a few dozen seeks for any stretch, and never more than the
    // numbers allow.
    skipped = true;
    long long bad = after, good = after;
    for (long long step = 1; good == after; step *= 2) {
        if (step > std::numeric_limits<long long>::max() / 2 || after > std::numeric_limits<long long>::max() - step)
            return Result::ok;
        r = sound(next(after + step, 1, rows));
        if (r == Result::failed)
            return r;
        if (r == Result::ok)
            good = after + step;
        else
            bad = after + step;
    }
    while (good - bad > 1) {
        const long long middle = bad + (good - bad) / 2;
        r = sound(next(middle, 1, rows));
        if (r == Result::failed)
            return r;
        (r == Result::ok ? good : bad) = middle;
    }
    r = sound(next(good, count, rows));
    return r == Result::failed ? r : Result::ok;
}

Result Database::removeBelow(long long seq)
{
    if (!db_)
        return Result::failed;
    Use use(below_);
    lib().bind_int64(below_, 1, seq);
    return step(below_);
}

Result Database::dropped(Dropped &d)
{
    d = Dropped{};
    sqlite3_stmt *s = nullptr;
    if (lib().prepare_v2(db_, "SELECT count, first_seq, last_seq FROM dropped WHERE id = 1", -1, &s, nullptr) !=
        SQLITE_OK)
        return judge(lib().errcode(db_));
    const int rc = lib().step(s);
    if (rc == SQLITE_ROW)
        d = Dropped{lib().column_int64(s, 0), lib().column_int64(s, 1), lib().column_int64(s, 2)};
    lib().finalize(s);
    return judge(rc);
}

Result Database::countDropped(const Dropped &d)
{
    if (!db_)
        return Result::failed;
    Use use(countDropped_);
    lib().bind_int64(countDropped_, 1, d.count);
    lib().bind_int64(countDropped_, 2, d.first_seq);
    lib().bind_int64(countDropped_, 3, d.last_seq);
    return step(countDropped_);
}

Result Database::reported(const Dropped &told)
{
    sqlite3_stmt *s = nullptr;
    if (lib().prepare_v2(db_,
                           "UPDATE dropped SET count = count - ?1, first_seq = ?2 + 1 WHERE id = 1;", -1, &s,
                           nullptr) != SQLITE_OK)
        return judge(lib().errcode(db_));
    lib().bind_int64(s, 1, told.count);
    lib().bind_int64(s, 2, told.last_seq);
    Result r = judge(lib().step(s));
    lib().finalize(s);
    if (r == Result::ok)
        r = run("DELETE FROM dropped WHERE count <= 0");
    return r;
}

void Database::checkpoint()
{
    if (db_)
        lib().wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

Result Database::beginCarry(Carried &carried)
{
    carried = Carried{};
    return db_ ? run("BEGIN IMMEDIATE") : Result::failed;
}

Result Database::put(const Row &row, bool &placed, bool &clashed)
{
    placed = clashed = false;
    Result r;
    {
        Use use(carry_);
        lib().bind_int64(carry_, 1, row.seq);
        lib().bind_text(carry_, 2, row.topic.c_str(), -1, SQLITE_STATIC);
        lib().bind_text(carry_, 3, row.payload.data(), static_cast<int>(row.payload.size()), SQLITE_STATIC);
        r = step(carry_);
    }
    if (r != Result::ok)
        return r;
    placed = lib().changes64(db_) > 0;
    if (placed)
        return r;
    // A file put in the vanished one's place may hold the very same
    // message (a copy of it); a different one keeps its own.
    Use use(same_);
    lib().bind_int64(same_, 1, row.seq);
    lib().bind_text(same_, 2, row.topic.c_str(), -1, SQLITE_STATIC);
    lib().bind_text(same_, 3, row.payload.data(), static_cast<int>(row.payload.size()), SQLITE_STATIC);
    clashed = lib().step(same_) != SQLITE_ROW;
    return r;
}

Result Database::carry(Database &from, long long after, long long through, long long above, bool withDropped,
                       bool refuseClash, Carried &carried)
{
    Result r = beginCarry(carried);
    if (r != Result::ok)
        return r;
    // One read of the other file from its ends to its last row, so that
    // whatever it gains meanwhile lies above what was carried.
    bool readable = from.isOpen() && from.run("BEGIN") == Result::ok;
    long long lowest = 0;
    Dropped told;
    readable = readable && from.ends(carried.highest, lowest) == Result::ok &&
               (!withDropped || from.dropped(told) == Result::ok);
    Dropped lost;
    long long last = after;
    std::vector<Row> rows;
    while (readable && r == Result::ok) {
        bool skipped = false;
        if (from.readPast(last, 512, rows, skipped) != Result::ok) {
            readable = false;
            break;
        }
        if (skipped)
            lost.add(last + 1, rows.empty() ? std::max(carried.highest, through) : rows.front().seq - 1);
        if (rows.empty())
            break;
        for (const Row &row : rows) {
            bool placed = false, clashed = false;
            r = put(row, placed, clashed);
            carried.clashed = carried.clashed || clashed;
            if (r != Result::ok || (clashed && refuseClash))
                break;
            last = row.seq;
            if (placed) {
                ++carried.rows;
                carried.lowest = carried.lowest ? carried.lowest : row.seq;
            } else if (clashed) {
                lost.add(row.seq, row.seq);
            }
        }
        if (carried.clashed && refuseClash)
            break;
    }
    if (from.isOpen())
        from.run("COMMIT");
    if (!readable) {
        carried.highest = std::max(carried.highest, through);
        lost.add(last + 1, carried.highest);
    }
    carried.lost = lost.count;
    if (r == Result::ok && carried.clashed && refuseClash) {
        run("ROLLBACK");
        return Result::ok;
    }
    if (r == Result::ok)
        r = reserveThrough(std::max(above, carried.highest));
    for (const Dropped &d : {withDropped ? told : Dropped{}, lost}) {
        if (r == Result::ok && d.count > 0)
            r = countDropped(d);
    }
    r = r == Result::ok ? run("COMMIT") : r;
    if (r != Result::ok)
        run("ROLLBACK");
    return r;
}

Result Database::carryRows(const std::vector<Row> &rows, long long keepFrom, long long sent, const Dropped &unreadable,
                           Carried &carried)
{
    Result r = beginCarry(carried);
    if (r != Result::ok)
        return r;
    Dropped dropped = unreadable, overtaken;
    for (const Row &row : rows) {
        if (row.seq < keepFrom) {
            if (row.seq > sent)
                overtaken.add(row.seq, row.seq);
            continue;
        }
        bool placed = false, clashed = false;
        r = put(row, placed, clashed);
        if (r != Result::ok)
            break;
        if (placed) {
            ++carried.rows;
            carried.lowest = carried.lowest ? carried.lowest : row.seq;
        }
        if (clashed) {
            carried.clashed = true;
            ++carried.lost;
            dropped.add(row.seq, row.seq);
        }
    }
    for (const Dropped &d : {dropped, overtaken}) {
        if (r == Result::ok && d.count > 0)
            r = countDropped(d);
    }
    r = r == Result::ok ? run("COMMIT") : r;
    if (r != Result::ok) {
        run("ROLLBACK");
        carried = Carried{};
        return r;
    }
    carried.overtaken = overtaken.count;
    return r;
}

void Database::keepLog()
{
    int keep = 1;
    if (db_)
        lib().file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
}

Ends readableEnds(const std::string &path)
{
    Ends ends;
    sqlite3 *db = nullptr;
    if (!sqlite())
        return ends;
    if (lib().open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const auto read = [db](const char *sql) {
            sqlite3_stmt *s = nullptr;
            long long value = 0;
            if (lib().prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && lib().step(s) == SQLITE_ROW)
                value = lib().column_int64(s, 0);
            lib().finalize(s);
            return value;
        };
        ends.highest = std::max(read("SELECT seq FROM sqlite_sequence WHERE name = 'outbox'"),
                                read("SELECT max(seq) FROM outbox"));
        ends.lowest = read("SELECT min(seq) FROM outbox");
    }
    lib().close_v2(db);
    return ends;
}

std::string moveAside(const std::string &path, const char *why)
{
    // The calendar of std::chrono, not gmtime: the sender moves files
    // aside on its own thread, and gmtime's result is shared.
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char when[32];
    std::snprintf(when, sizeof when, "%04d%02u%02uT%02d%02d%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    const std::string aside = path + "." + why + "-" + when;
    if (files::os::rename(path.c_str(), aside.c_str()) != 0)
        return {};
    files::os::rename((path + "-wal").c_str(), (aside + "-wal").c_str());
    forgetIndex(path);
    return aside;
}

void forgetIndex(const std::string &path)
{
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(path + "-shm"), ignored);
}

}  // namespace rte::outbox
