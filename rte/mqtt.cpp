// The MQTT client over Eclipse Paho's asynchronous C client.  Paho owns the
// network thread, the reconnection, the buffering while disconnected and the
// store on disk; this file only configures it and turns its callbacks into
// a state the user-interface thread can read without waiting.
#include "rte/mqtt.h"

#include <MQTTAsync.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace {

// Room on the store's disk below which messages may no longer be stored.
constexpr std::uintmax_t kStoreRoom = 64 * 1024;

struct Client {
    MQTTAsync handle = nullptr;
    std::string status_topic;
    std::filesystem::path store_dir;
    int max_stored = 0;
    std::atomic<int> state{kMqttClosed};
    std::atomic<int> faults{0};
    // Handed over and not yet acknowledged by the broker: beyond the store's
    // bound, Paho has dropped the oldest.
    std::atomic<long> pending{0};
    std::atomic<bool> certificate_failed{false};
};

Client client;

void sayStatus(const char *text)
{
    MQTTAsync_message message = MQTTAsync_message_initializer;
    message.payload = const_cast<char *>(text);
    message.payloadlen = static_cast<int>(std::strlen(text));
    message.qos = 1;
    message.retained = 1;
    if (MQTTAsync_sendMessage(client.handle, client.status_topic.c_str(), &message, nullptr) ==
        MQTTASYNC_SUCCESS)
        client.pending++;
}

void onConnected(void *, char *)
{
    client.certificate_failed = false;
    client.state = kMqttConnected;
    sayStatus("online");
}

void onConnectionLost(void *, char *)
{
    client.state = kMqttConnecting;
}

void onConnectFailure(void *, MQTTAsync_failureData *response)
{
    // A CONNACK of 4 (bad user name or password) or 5 (not authorised).
    // Each attempt's certificate is judged anew: a broker that is merely
    // down on the next one is not a certificate's fault.
    const bool certificate = client.certificate_failed.exchange(false);
    if (response != nullptr && (response->code == 4 || response->code == 5))
        client.state = kMqttLoginRefused;
    else if (certificate)
        client.state = kMqttBadCertificate;
    else
        client.state = kMqttConnecting;
}

void onDelivered(void *, MQTTAsync_token)
{
    client.pending--;
}

int onTlsError(const char *text, std::size_t length, void *)
{
    if (std::string_view(text, length).find("certificate verify failed") != std::string_view::npos)
        client.certificate_failed = true;
    return 0;
}

int create(const MqttOptions &o, const std::string &uri, bool persistent)
{
    MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
    create.sendWhileDisconnected = 1;
    // Paho drops the oldest as soon as its count reaches the bound, so a
    // bound one above keeps `max_stored` messages.
    create.maxBufferedMessages = client.max_stored + 1;
    create.deleteOldestMessages = 1;
    create.restoreMessages = 1;
    create.persistQoS0 = 0;
    create.MQTTVersion = MQTTVERSION_3_1_1;
    return MQTTAsync_createWithOptions(&client.handle, uri.c_str(), o.client_id,
                                       persistent ? MQTTCLIENT_PERSISTENCE_DEFAULT
                                                  : MQTTCLIENT_PERSISTENCE_NONE,
                                       const_cast<char *>(o.store_dir), &create);
}

// The files of this client's store: Paho keeps each client's in a folder of
// its own, named after the client id and the broker's address and port, so
// that stores left by other settings are not counted.
long filesOfClient(const MqttOptions &o)
{
    namespace fs = std::filesystem;
    const std::string head = std::string(o.client_id) + '-';
    std::string tail(1, '-');
    tail += std::to_string(o.port);
    long count = 0;
    std::error_code error;
    for (const fs::directory_entry &folder : fs::directory_iterator(fs::u8path(o.store_dir), error)) {
        const std::u8string u8 = folder.path().filename().u8string();
        const std::string name(u8.begin(), u8.end());
        if (!folder.is_directory(error) || !name.starts_with(head) || !name.ends_with(tail))
            continue;
        for (const fs::directory_entry &file : fs::directory_iterator(folder.path(), error))
            count += file.is_regular_file(error);
    }
    return count;
}

}  // namespace

int MqttOpen(const MqttOptions &o)
{
    MqttClose(0);
    client.faults = 0;
    client.pending = 0;
    client.certificate_failed = false;
    client.status_topic = o.status_topic;
    client.store_dir = std::filesystem::u8path(o.store_dir);
    client.max_stored = o.max_stored > 0 && o.max_stored < INT_MAX ? o.max_stored : 1;
    const std::string uri =
        std::string(o.tls ? "ssl://" : "tcp://") + o.host + ":" + std::to_string(o.port);

    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::u8path(o.store_dir), ignored);
    const long stored = filesOfClient(o);
    int rc = create(o, uri, true);
    if (rc == MQTTASYNC_PERSISTENCE_ERROR) {
        // Without a store the messages still wait in memory while the
        // broker is away; only a restart of the program loses them.
        client.faults |= kMqttStoreFailed;
        rc = create(o, uri, false);
    }
    if (rc != MQTTASYNC_SUCCESS) {
        client.handle = nullptr;
        return -1;
    }
    MQTTAsync_token *restored = nullptr;
    if (MQTTAsync_getPendingTokens(client.handle, &restored) == MQTTASYNC_SUCCESS && restored) {
        for (MQTTAsync_token *t = restored; *t != -1; ++t)
            client.pending++;
        MQTTAsync_free(restored);
    }
    // The store keeps one file per message; Paho passes over a file it
    // cannot read without a word, so more files than messages read back
    // means a damaged store.
    if (stored > client.pending)
        client.faults |= kMqttStoreDamaged;
    MQTTAsync_setConnected(client.handle, nullptr, onConnected);
    MQTTAsync_setConnectionLostCallback(client.handle, nullptr, onConnectionLost);
    MQTTAsync_setDeliveryCompleteCallback(client.handle, nullptr, onDelivered);

    MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
    will.topicName = client.status_topic.c_str();
    will.message = "offline";
    will.retained = 1;
    will.qos = 1;
    MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
    ssl.trustStore = o.ca_file;
    ssl.enableServerCertAuth = 1;
    ssl.verify = 1;
    ssl.ssl_error_cb = onTlsError;
    MQTTAsync_connectOptions connect = MQTTAsync_connectOptions_initializer;
    connect.keepAliveInterval = 10;
    // The broker keeps the session and the client sends unacknowledged
    // messages again after a reconnection: at least once.
    connect.cleansession = 0;
    connect.automaticReconnect = 1;
    connect.minRetryInterval = 1;
    connect.maxRetryInterval = 8;
    connect.connectTimeout = 10;
    connect.will = &will;
    if (o.user != nullptr && o.user[0] != '\0') {
        connect.username = o.user;
        connect.password = o.password;
    }
    if (o.tls)
        connect.ssl = &ssl;
    connect.onFailure = onConnectFailure;
    client.state = kMqttConnecting;
    if (MQTTAsync_connect(client.handle, &connect) != MQTTASYNC_SUCCESS) {
        MQTTAsync_destroy(&client.handle);
        client.state = kMqttClosed;
        return -1;
    }
    return 0;
}

int MqttPublish(const char *topic, const char *payload, int retained)
{
    if (client.handle == nullptr)
        return -1;
    MQTTAsync_message message = MQTTAsync_message_initializer;
    message.payload = const_cast<char *>(payload);
    message.payloadlen = static_cast<int>(std::strlen(payload));
    message.qos = 1;
    message.retained = retained != 0;
    const int rc = MQTTAsync_sendMessage(client.handle, topic, &message, nullptr);
    // Paho takes the message also when its file cannot be written and says
    // nothing; a disk without room for a few more messages is what tells.
    std::error_code error;
    const auto space = std::filesystem::space(client.store_dir, error);
    if (rc == MQTTASYNC_PERSISTENCE_ERROR || (!error && space.available < kStoreRoom))
        client.faults |= kMqttStoreFailed;
    if (rc != MQTTASYNC_SUCCESS)
        return -1;
    if (++client.pending > client.max_stored)
        client.faults |= kMqttOldestDropped;
    return 0;
}

int MqttState()
{
    return client.state;
}

int MqttStoreFaults()
{
    return client.faults;
}

void MqttClose(double seconds)
{
    if (client.handle == nullptr)
        return;
    if (client.state == kMqttConnected) {
        // The will speaks only for a connection that breaks; an orderly end
        // says it in words.
        sayStatus("offline");
        MQTTAsync_disconnectOptions disconnect = MQTTAsync_disconnectOptions_initializer;
        disconnect.timeout = static_cast<int>(seconds * 1000);
        MQTTAsync_disconnect(client.handle, &disconnect);
        for (int i = 0; i < seconds * 100 && MQTTAsync_isConnected(client.handle); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    MQTTAsync_destroy(&client.handle);
    client.handle = nullptr;
    client.state = kMqttClosed;
}
