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
// Each message's `seq` is its row's number: it grows by one with each
// message and never repeats, across restarts and crashes too (a damaged
// outbox that had to be replaced continues above its numbers, or, where
// they cannot be read, above the clock's milliseconds since 1970).
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
// beside it (`<path>.lock`) is held while it is open.  A second program that
// finds the lock held neither stores nor connects (kOutboxHeldElsewhere)
// and tries again at its next OutboxOpen.
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
};

struct OutboxStatus {
    long long waiting;  // messages not yet acknowledged by a broker
    long long dropped;  // dropped by the bound: this session's, and those the broker was not told of
    int faults;         // kOutbox... bits
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
// its braces, and the stored payload is {"seq":N,<members>}.  The seq, or
// negative when the message is not stored (kOutboxNotStored is set until a
// later message is).
long long OutboxAdd(const char *topic, const char *members);
OutboxStatus GetOutboxStatus();
// The path a damaged outbox was moved to (UTF-8), or an empty text.
// 0, or negative when it does not fit.
int outboxMovedAside(std::span<char> path);
template <std::size_t N>
int GetOutboxMovedAside(char (&path)[N]) { return outboxMovedAside(path); }
// Numbers from now on lie above `seq`: a numbering begun elsewhere goes on.
void OutboxContinueAbove(long long seq);

// The sender publishes to this broker from now on (options are copied);
// the connection to the broker before, if any, is closed on its thread.
void MqttConnect(const MqttOptions &options);
// The sender leaves the broker; messages wait in the outbox.
void MqttDisconnect();
int MqttState();
// Ends the sender and closes the outbox, waiting at most `seconds` for the
// sender's thread.  What was not acknowledged stays in the outbox.
void MqttClose(double seconds);
