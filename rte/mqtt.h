// Publishing to an MQTT broker: one client per program.
//
// The client works on threads of its own.  MqttPublish only hands the
// message over and returns at once, whatever the broker does: messages
// wait in a store on disk while the broker cannot be reached, are delivered
// in the order they were handed over once it can, and survive a restart of
// the program (the store is read back when the client is opened again with
// the same folder).  Delivery is at least once (QoS 1): a message whose
// acknowledgement was lost is sent again.  The store holds at most
// `max_stored` messages; beyond that the oldest go.
//
// A retained `status_topic` says "online" while the client is connected and
// "offline" (the broker's last will) once it is not.  The client reconnects
// by itself, also when the broker was down when it was opened.
//
// Every call belongs to the user-interface thread.
#pragma once

#include <cstddef>

enum {
    kMqttClosed = 0,        // no client is open
    kMqttConnecting = 1,    // not (yet, or no longer) connected; trying
    kMqttConnected = 2,
    kMqttLoginRefused = 3,  // the broker refused the user name or password
    kMqttBadCertificate = 4,  // the broker's certificate did not verify against the CA file
};

// Faults of the store, as bits; they stay set until the client is closed.
enum {
    kMqttStoreFailed = 1,   // the store cannot be written, or its disk is (nearly) full
    kMqttStoreDamaged = 2,  // the store could not be read back; a fresh one was started
    kMqttOldestDropped = 4, // the store was full: the oldest messages went
};

struct MqttOptions {
    const char *host;
    int port;
    int tls;              // 1: TLS, the server's certificate verified against ca_file
    const char *ca_file;
    const char *user;     // empty: no login
    const char *password;
    const char *client_id;
    const char *store_dir;   // the folder of the store; created when missing
    const char *status_topic;
    int max_stored;
};

// Opens the client and starts connecting in the background.  0, or
// negative when no client can be made (an option the library refuses).
// Opening while a client is open closes it first.
int MqttOpen(const MqttOptions &options);
// Hands over one QoS 1 message.  0, or negative when it was not taken (no
// client open, or the store refused it: then kMqttStoreFailed is set too).
int MqttPublish(const char *topic, const char *payload, int retained);
// The connection's state (kMqttClosed ...) and the store's fault bits.
int MqttState();
int MqttStoreFaults();
// Says "offline" on the status topic, waits at most `seconds` for messages
// in flight, and ends the client.  Messages not delivered stay in the store.
void MqttClose(double seconds);
