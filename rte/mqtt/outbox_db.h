// Private to the engine: the outbox's database, one SQLite connection per
// object, each used by one thread.  The user-interface thread adds messages
// over one connection (every commit synced); the sender reads and removes
// them over another (commits not synced: a removal lost in a crash only
// sends a message again).
//
// The file holds plain rows that anyone may read with sqlite3:
//   outbox(seq INTEGER PRIMARY KEY AUTOINCREMENT, topic, payload)
//   dropped(id = 1, count, first_seq, last_seq): messages dropped (by the
//     bound, or lost with a vanished file) and the broker not yet told;
//     `count` of them lie between first_seq and last_seq.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace rte::outbox {

enum class Result {
    ok,
    damaged,  // not a database, or a malformed one: move it aside
    failed,   // the disk is full, the file cannot be written, or it is busy
};

struct Row {
    long long seq;
    std::string topic;
    std::string payload;
};

struct Dropped {
    long long count = 0;
    long long first_seq = 0;
    long long last_seq = 0;

    // Counts the messages numbered `first` to `last` in; none when `last`
    // lies below `first`.
    void add(long long first, long long last);
};

// What a carry from another file did.
struct Carried {
    long long highest = 0;  // the highest seq the other file had handed out when read
    long long lowest = 0;   // the lowest seq carried, 0 for none
    long long rows = 0;     // carried
    long long lost = 0;     // not carried: unreadable, or their seq here holds another message
    bool clashed = false;   // a seq here holds another message
    long long overtaken = 0;  // below the bound when they came: dropped
};

// What a damaged file still tells of its numbers, 0 where it tells nothing.
struct Ends {
    long long highest = 0;  // the highest seq it handed out
    long long lowest = 0;   // the lowest seq it holds
};

class Database {
public:
    // A reader opens a file as it is, damaged or not, and only reads it.
    enum class Role { adder, sender, reader };

    Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database() { close(); }

    // Opens the file, creating it and its tables when missing.  Reads
    // nothing but the schema and the ends of the table: a week waiting
    // costs no more to open than an empty outbox.
    Result open(const std::string &path, Role role);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // The adder's side.  The highest seq ever handed out (0 for none) and
    // the lowest still waiting (0 for none).
    Result ends(long long &highest, long long &lowest);
    // Numbers from now on lie above `seq`.
    Result reserveThrough(long long seq);
    // Stores one message with its seq; when `dropBelow` is above 0, drops
    // the rows below it in the same commit and counts those above
    // `handedThrough` (the others the broker has, or has been sent).
    // `dropped` comes back with how many were counted.
    Result add(long long seq, const char *topic, const std::string &payload, long long dropBelow,
               long long handedThrough, long long &dropped);
    // Holds every commit open until released: many messages in one synced
    // commit instead of one each.  For tests and benchmarks that build a
    // backlog.
    Result holdCommits(bool hold);

    // The sender's side.  Up to `count` rows above `after`, oldest first.
    Result next(long long after, int count, std::vector<Row> &rows);
    // As next(), except that rows SQLite cannot read (on a damaged page)
    // are passed over instead of ending the read: `skipped` says that some
    // above `after` could not be read, below the first row given, or up to
    // the end when none is given.  No row comes back at or below `after`,
    // so that a reader moving on from the last row given always ends.
    Result readPast(long long after, int count, std::vector<Row> &rows, bool &skipped);
    // Removes the rows below `seq`.
    Result removeBelow(long long seq);
    Result dropped(Dropped &d);
    Result countDropped(const Dropped &d);
    // The broker was told of `told`: what was dropped since stays.
    Result reported(const Dropped &told);
    // Copies what the write-ahead log holds into the file, as far as
    // readers allow, so that the log stays small.
    void checkpoint();

    // Either side, when the file at the path is no longer this one.
    // Carries the rows of `from` above `after`, each with its seq and
    // payload, into this file in one synced commit, with `from`'s dropped
    // count when `withDropped`; numbers from then on lie above `above` and
    // above all `from` handed out.  A row that this file holds already
    // stays as it is.  A row that cannot be read is lost and counted as
    // dropped here (rows of `from` are taken to run unbroken up to
    // `through`); so is one whose seq this file holds for another message,
    // unless `refuseClash`, which carries nothing then.
    Result carry(Database &from, long long after, long long through, long long above, bool withDropped,
                 bool refuseClash, Carried &carried);
    // Either side: rows read from a damaged file, put here with their seq
    // in one commit of their own, so that the adder never waits long for
    // a carry of a week's rows.  Those below `keepFrom` (the bound passed
    // them meanwhile) are dropped, counted unless at or below `sent` (the
    // broker has them); `unreadable` is counted as dropped too.
    Result carryRows(const std::vector<Row> &rows, long long keepFrom, long long sent, const Dropped &unreadable,
                     Carried &carried);
    // Closing leaves the write-ahead log and its index where they are: the
    // names beside a vanished file may by then be a new file's.
    void keepLog();

private:
    Result run(const char *sql);
    Result step(sqlite3_stmt *statement);
    Result judge(int rc);
    sqlite3_stmt *prepare(const char *sql);
    // Nothing carried yet, in a transaction that writes.
    Result beginCarry(Carried &carried);
    // Puts a row of another file here with its seq: `placed` when it was
    // not here; `clashed` when its seq here holds another message.
    Result put(const Row &row, bool &placed, bool &clashed);

    sqlite3 *db_ = nullptr;
    std::vector<sqlite3_stmt *> statements_;
    sqlite3_stmt *insert_ = nullptr;
    sqlite3_stmt *below_ = nullptr;
    sqlite3_stmt *countDropped_ = nullptr;
    sqlite3_stmt *unsent_ = nullptr;
    sqlite3_stmt *select_ = nullptr;
    sqlite3_stmt *carry_ = nullptr;
    sqlite3_stmt *same_ = nullptr;
    bool holding_ = false;
};

// The numbers a damaged file still tells.
Ends readableEnds(const std::string &path);
// Moves the file at `path` and its log aside under a name that says why
// and when ("<path>.<why>-<UTC time>") and removes its log's index: the
// name it went to, or an empty text when it could not be moved.
std::string moveAside(const std::string &path, const char *why);
// Removes the index of the log of a file no connection has open, which
// SQLite makes again from the log when it is next opened.
void forgetIndex(const std::string &path);

}  // namespace rte::outbox
