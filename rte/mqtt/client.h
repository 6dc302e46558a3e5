// Private to the engine: one connection to a broker over Paho's
// asynchronous client, without Paho's own store or offline buffer (the
// outbox is the store).  Used by the sender's thread alone.  Paho calls
// back on threads of its own; the callbacks only record what happened,
// under the sender's mutex, and wake the sender.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace rte::mqtt {

struct Settings {
    std::string host;
    int port = 0;
    bool tls = false;
    std::string ca_file, user, password, client_id, status_topic, dropped_topic;
    bool operator==(const Settings &) const = default;
};

// What Paho's threads told since the last take().
struct Events {
    bool connected = false;
    int refused = 0;  // a connection attempt failed: the state it leaves (kMqttConnecting, ...)
    bool lost = false;
    bool gone = false;  // the orderly disconnection finished
    std::vector<int> acknowledged;  // tokens of messages the broker acknowledged
    bool any() const { return connected || refused || lost || gone || !acknowledged.empty(); }
};

class Client {
public:
    // What send() gives for a message it did not take: try again once
    // connected, or never (Paho refuses its topic or payload).
    enum { kNotNow = -1, kNever = -2 };

    // `mutex` guards the events and `wake` is told of each; both belong to
    // the sender and outlive the client.
    Client(const Settings &settings, std::mutex &mutex, std::condition_variable &wake);
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    // False when Paho refused the settings (no connection will come).
    bool valid() const { return handle_ != nullptr; }
    // Starts a connection attempt; its outcome comes as an event.
    bool connect();
    // Hands one QoS 1 message to Paho: its token, or kNotNow / kNever.
    int send(const std::string &topic, const std::string &payload, bool retained);
    // Starts an orderly disconnection (the outcome comes as `gone`).
    void disconnect();
    // Call these with the sender's mutex held.
    Events take();
    const Events &pending() const { return events_; }

private:
    friend struct Callbacks;

    Settings settings_;
    void *handle_ = nullptr;
    std::uintptr_t id_;
    std::mutex &mutex_;
    std::condition_variable &wake_;
    Events events_;
    bool certificateFailed_ = false;
};

}  // namespace rte::mqtt
