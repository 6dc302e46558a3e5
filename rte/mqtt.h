// Publishing to an MQTT broker through an outbox on disk.
//
// The outbox is an SQLite database, one file (write-ahead log beside it),
// that holds every message until a broker has acknowledged it.  Handing a
// message over (OutboxAdd) is one insert whose commit is synced to the disk
// before the call returns, as a recording line is; it never waits on the
// network.  A sender thread of the engine's own publishes the oldest rows
// in order, QoS 1, a few dozen in flight, to whichever broker is configured
// when they are sent, and removes a row once the broker has acknowledged
// it.  After a reconnection it sends again from the oldest row not
// acknowledged: every message arrives at least once, and in order.
//
// Each message begins {"seq":N,"stream":"<32 hex digits>", and the pair is
// its key, which no other message ever has.  `stream` is 128 random bits
// drawn anew each time an outbox is opened and each time a new outbox file
// is started while it is open (a damaged one replaced, one that vanished);
// `seq` is the message's row number, which grows by one with each message
// of a stream.  The numbers also go on above every number handed out
// before wherever that can be known (across restarts and crashes; a
// damaged outbox that had to be replaced continues above its numbers, or,
// where they cannot be read, above the clock's milliseconds since 1970),
// but only the stream makes the key safe from a file deleted or restored
// from a copy.  A message keeps the key it was stored with when it is sent
// again.
//
// A damaged outbox is moved aside ("<path>.damaged-<UTC time>") and a new
// one started; the sender carries every row it can still read into it,
// with its key, in order, before it sends anything from it, and counts the
// rows it cannot read as dropped (those it had sent before excepted).
//
// The file at the path is looked at once a second: when it, or its
// folder, has been deleted or another file put in its place, a new outbox
// is made there (the folder too, for this user alone), what the old file
// holds and the broker has not acknowledged is carried into it with its
// keys, and the numbering goes on above both files' numbers.  A file put
// in its place is taken with what it holds (a copy of this outbox from a
// backup), unless it is damaged or holds other messages under the numbers
// to be carried: then it is moved aside as a damaged one is, as
// "<path>.replaced-<UTC time>".  What cannot be carried is counted as
// dropped and told as the bound's drops are.
//
// The outbox keeps at most `limit` messages: beyond that the oldest go in
// the same commit, are counted, and the sender tells the broker how many
// on `dropped_topic` as soon as it can, before anything else:
//   {"time":"2026-12-10T16:25:03.120Z","dropped":120,"first_seq":1,"last_seq":120}
//
// A retained `status_topic` says "online" while the sender is connected and
// "offline" (the broker's last will, or said in words when the sender
// leaves a broker) once it is not.
//
// The outbox belongs to one program on the computer at a time: a lock file
// beside it (`<path>.lock`), locked again when its name is deleted, and a
// claim of the system's on the path that no deleted file breaks are held
// while it is open.  A second program that finds either held neither stores
// nor connects (kOutboxHeldElsewhere) and tries again at its next
// OutboxOpen.
//
// Every call belongs to the user-interface thread and returns without
// waiting on the network or on the sender.
#pragma once

#include <cstddef>
#include <span>

enum {
    kMqttClosed = 0,          // no broker configured
    kMqttConnecting = 1,      // not (yet, or no longer) connected; trying
    kMqttConnected = 2,
    kMqttLoginRefused = 3,    // the broker refused the user name or password
    kMqttBadCertificate = 4,  // the broker's certificate did not verify against the CA file
    kMqttBadSettings = 5,     // the client library refused the address or the client id
};

// Faults of the outbox, as bits.
enum {
    kOutboxNotStored = 1,      // the last message could not be stored (disk full, not writable)
    kOutboxDamaged = 2,        // a damaged outbox was moved aside and a new one started (this session)
    kOutboxHeldElsewhere = 4,  // another program holds the outbox: nothing is stored or sent here
    kOutboxReplaced = 8,       // the file vanished or was replaced, and a new one was started (this session)
    kOutboxGone = 16,          // the file vanished and no new one can be made yet: messages are
                               // still stored in the old one and sent, but gone when the program ends
    kOutboxForeign = 32,       // the file put in a vanished one's place held other messages under the
                               // numbers to be carried: it was moved aside (this session)
};

struct OutboxStatus {
    long long waiting;  // messages not yet acknowledged by a broker
    long long dropped;  // dropped by the bound: this session's, and those the broker was not told of
    int faults;         // kOutbox... bits
    long long lost;     // of a vanished file, not carried into the new one (this session)
    long long salvaged;    // of a damaged file, carried into the new one (this session)
    long long unreadable;  // of a damaged file, unreadable: dropped (this session)
};

struct MqttOptions {
    const char *host;
    int port;
    int tls;  // 1: TLS, the server's certificate verified against ca_file
    const char *ca_file;
    const char *user;  // empty: no login
    const char *password;
    const char *client_id;
    const char *status_topic;
    const char *dropped_topic;
};

// Opens the outbox at `path` (UTF-8; created when missing) and starts its
// sender, or, when it is open already, only sets the bound.  0, or
// negative when no message can be stored (held elsewhere, or the file
// cannot be made: the status says which).
int OutboxOpen(const char *path, long long limit);
// Stores one message: `members` are the members of a JSON object, without
// its braces, and the stored payload is {"seq":N,"stream":"...",<members>}.
// The seq, or negative when the message is not stored (kOutboxNotStored is
// set until a later message is).
//
// With a `live_topic`, the same payload also goes there, retained, outside
// the outbox's order: the sender holds only the newest such message, in
// memory, and sends it as soon as it is connected, ahead of the messages
// waiting in the outbox (so that the present never waits behind a backlog),
// and again after each new connection.  A message that is not stored is
// not sent live either.
long long OutboxAdd(const char *topic, const char *members, const char *live_topic = nullptr);
OutboxStatus GetOutboxStatus();
// The path the last file moved aside went to (UTF-8): a damaged outbox,
// or one found in a vanished one's place holding other messages; or an
// empty text.
// 0, or negative when it does not fit.
int outboxMovedAside(std::span<char> path);
template <std::size_t N>
int GetOutboxMovedAside(char (&path)[N]) { return outboxMovedAside(path); }
// The local time the file was last found vanished or replaced, as
// "2026-12-10T14:02:11", or an empty text.  0, or negative when it does not
// fit.
int outboxGoneAt(std::span<char> time);
template <std::size_t N>
int GetOutboxGoneAt(char (&time)[N]) { return outboxGoneAt(time); }
// Numbers from now on lie above `seq`: a numbering begun elsewhere goes on
// (in a new stream once the present one has messages).
void OutboxContinueAbove(long long seq);

// The sender publishes to this broker from now on (options are copied);
// the connection to the broker before, if any, is closed on its thread.
void MqttConnect(const MqttOptions &options);
// The sender leaves the broker; messages wait in the outbox.
void MqttDisconnect();
int MqttState();
// The library publishing could not load, as "the MQTT library
// (libpaho-mqtt3as.so.1) is missing: install the package libpaho-mqtt1.3",
// or an empty text.  Publishing does not start without it.
const char *MqttMissingLibrary();
// Ends the sender and closes the outbox, waiting at most `seconds` for the
// sender's thread.  What was not acknowledged stays in the outbox.
void MqttClose(double seconds);

// Texts given to these calls (host, user, password, client id, topics) are
// UTF-8, as MQTT takes them.
//
// Why no message may be published to `topic`, checked as MQTT's own
// clients check it before they send anything; nullptr when one may.  A
// topic is 1 to 65,535 bytes of UTF-8 without the wildcards '+' and '#'
// (they are for subscriptions), and, as brokers hold it to, without
// control characters (U+0001 to U+001F, U+007F to U+009F) or
// non-characters (U+FDD0 to U+FDEF, U+FFFE and U+FFFF in every plane).
// Empty levels ("a//b", "/a") are allowed.  The answer completes "the
// topic ...", as "holds + or #, which are for subscriptions".
const char *MqttTopicFault(const char *topic);
