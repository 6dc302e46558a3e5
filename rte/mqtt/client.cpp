#include "rte/mqtt/client.h"

#include <cstring>
#include <map>
#include <string_view>

#include "rte/mqtt.h"
#include "rte/mqtt/paho.h"

namespace rte::mqtt {
namespace {

// The clients Paho may still call back, by the number their callbacks carry
// as context.  A number is never used twice, so a callback that comes late
// for a client already gone finds nothing instead of another client.  Never
// destroyed: Paho's threads may outlive the program's static objects.
struct Registry {
    std::mutex mutex;
    std::map<std::uintptr_t, Client *> clients;
    std::uintptr_t last = 0;
};

Registry &registry()
{
    static auto *r = new Registry;
    return *r;
}

void *contextOf(std::uintptr_t id)
{
    return reinterpret_cast<void *>(id);
}

}  // namespace

struct Callbacks {
    // Runs `record` on the events of the client that `context` names, with
    // the sender's mutex held, and wakes the sender.
    template <typename Record>
    static void tell(void *context, Record record)
    {
        Registry &r = registry();
        std::lock_guard held(r.mutex);
        const auto found = r.clients.find(reinterpret_cast<std::uintptr_t>(context));
        if (found == r.clients.end())
            return;
        Client &c = *found->second;
        {
            std::lock_guard events(c.mutex_);
            record(c);
        }
        c.wake_.notify_all();
    }

    static void connected(void *context, MQTTAsync_successData *)
    {
        tell(context, [](Client &c) {
            c.certificateFailed_ = false;
            c.events_.connected = true;
        });
    }

    static void connectFailed(void *context, MQTTAsync_failureData *response)
    {
        const int code = response ? response->code : 0;
        tell(context, [code](Client &c) {
            // A CONNACK of 4 (bad user name or password) or 5 (not
            // authorised).  Each attempt's certificate is judged anew: a
            // broker that is merely down next time is not the
            // certificate's fault.
            if (code == 4 || code == 5)
                c.events_.refused = kMqttLoginRefused;
            else if (c.certificateFailed_)
                c.events_.refused = kMqttBadCertificate;
            else
                c.events_.refused = kMqttConnecting;
            c.certificateFailed_ = false;
        });
    }

    static void lost(void *context, char *cause)
    {
        if (cause)
            paho()->free(cause);
        tell(context, [](Client &c) { c.events_.lost = true; });
    }

    static void delivered(void *context, MQTTAsync_token token)
    {
        tell(context, [token](Client &c) { c.events_.acknowledged.push_back(token); });
    }

    static void gone(void *context, MQTTAsync_successData *)
    {
        tell(context, [](Client &c) { c.events_.gone = true; });
    }

    static void goneAnyway(void *context, MQTTAsync_failureData *)
    {
        tell(context, [](Client &c) { c.events_.gone = true; });
    }

    static int tlsError(const char *text, std::size_t length, void *context)
    {
        if (std::string_view(text, length).find("certificate verify failed") != std::string_view::npos)
            tell(context, [](Client &c) { c.certificateFailed_ = true; });
        return 0;
    }
};

Client::Client(const Settings &settings, std::mutex &mutex, std::condition_variable &wake)
    : settings_(settings), mutex_(mutex), wake_(wake)
{
    {
        Registry &r = registry();
        std::lock_guard held(r.mutex);
        id_ = ++r.last;
        r.clients[id_] = this;
    }
    MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
    // The outbox keeps what waits; Paho only ever holds the messages in
    // flight.
    create.sendWhileDisconnected = 0;
    create.MQTTVersion = MQTTVERSION_3_1_1;
    const std::string uri = std::string(settings_.tls ? "ssl://" : "tcp://") + settings_.host + ":" +
                            std::to_string(settings_.port);
    const Paho *p = paho();
    MQTTAsync handle = nullptr;
    if (!p || p->createWithOptions(&handle, uri.c_str(), settings_.client_id.c_str(), MQTTCLIENT_PERSISTENCE_NONE,
                                   nullptr, &create) != MQTTASYNC_SUCCESS)
        return;
    handle_ = handle;
    p->setConnectionLostCallback(handle, contextOf(id_), Callbacks::lost);
    p->setDeliveryCompleteCallback(handle, contextOf(id_), Callbacks::delivered);
}

Client::~Client()
{
    {
        Registry &r = registry();
        std::lock_guard held(r.mutex);
        r.clients.erase(id_);
    }
    if (handle_) {
        MQTTAsync handle = handle_;
        paho()->destroy(&handle);
    }
}

bool Client::connect()
{
    if (!handle_)
        return false;
    MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
    will.topicName = settings_.status_topic.c_str();
    will.message = "offline";
    will.retained = 1;
    will.qos = 1;
    MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
    ssl.trustStore = settings_.ca_file.c_str();
    ssl.enableServerCertAuth = 1;
    ssl.verify = 1;
    ssl.ssl_error_cb = Callbacks::tlsError;
    ssl.ssl_error_context = contextOf(id_);
    MQTTAsync_connectOptions connect = MQTTAsync_connectOptions_initializer;
    connect.keepAliveInterval = 10;
    // The outbox, not the session, carries what was not acknowledged: after
    // a reconnection the sender sends it again itself, so neither side keeps
    // a session that would send it a second time out of order.
    connect.cleansession = 1;
    connect.automaticReconnect = 0;
    connect.connectTimeout = 10;
    connect.will = &will;
    if (!settings_.user.empty()) {
        connect.username = settings_.user.c_str();
        connect.password = settings_.password.c_str();
    }
    if (settings_.tls)
        connect.ssl = &ssl;
    connect.onSuccess = Callbacks::connected;
    connect.onFailure = Callbacks::connectFailed;
    connect.context = contextOf(id_);
    return paho()->connect(handle_, &connect) == MQTTASYNC_SUCCESS;
}

int Client::send(const std::string &topic, const std::string &payload, bool retained)
{
    if (!handle_)
        return kNotNow;
    MQTTAsync_message message = MQTTAsync_message_initializer;
    message.payload = const_cast<char *>(payload.data());
    message.payloadlen = static_cast<int>(payload.size());
    message.qos = 1;
    message.retained = retained;
    MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
    switch (paho()->sendMessage(handle_, topic.c_str(), &message, &response)) {
    case MQTTASYNC_SUCCESS:
        return response.token;
    case MQTTASYNC_BAD_UTF8_STRING:
    case MQTTASYNC_TOPICNAME_TRUNCATED:
    case MQTTASYNC_BAD_STRUCTURE:
    case MQTTASYNC_NULL_PARAMETER:
        return kNever;
    default:
        return kNotNow;
    }
}

void Client::disconnect()
{
    if (!handle_)
        return;
    if (paho()->isConnected(handle_))
        // The will speaks only for a connection that breaks; an orderly
        // end says it in words.
        send(settings_.status_topic, "offline", true);
    MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
    options.timeout = 1000;
    options.onSuccess = Callbacks::gone;
    options.onFailure = Callbacks::goneAnyway;
    options.context = contextOf(id_);
    if (paho()->disconnect(handle_, &options) != MQTTASYNC_SUCCESS) {
        std::lock_guard held(mutex_);
        events_.gone = true;
    }
}

Events Client::take()
{
    Events taken = std::move(events_);
    events_ = Events{};
    return taken;
}

}  // namespace rte::mqtt
