#include "rte/mqtt/paho.h"

#include "rte/mqtt/library_on_demand.h"

namespace rte::mqtt {
namespace {

const Paho *load()
{
    constexpr const char *user = "Publishing";
    void *library = library::open(PAHO_LIBRARY, user, "the MQTT library", "libpaho-mqtt1.3");
    if (!library)
        return nullptr;
    static Paho table;
    const auto take = [library, user](const char *name, auto &function) {
        return library::take(library, name, function, user);
    };
    const bool whole = take("MQTTAsync_createWithOptions", table.createWithOptions) &&
                       take("MQTTAsync_setConnectionLostCallback", table.setConnectionLostCallback) &&
                       take("MQTTAsync_setDeliveryCompleteCallback", table.setDeliveryCompleteCallback) &&
                       take("MQTTAsync_connect", table.connect) && take("MQTTAsync_sendMessage", table.sendMessage) &&
                       take("MQTTAsync_isConnected", table.isConnected) &&
                       take("MQTTAsync_disconnect", table.disconnect) && take("MQTTAsync_destroy", table.destroy) &&
                       take("MQTTAsync_free", table.free);
    return whole ? &table : nullptr;
}

}  // namespace

const Paho *paho()
{
    static const Paho *const loaded = load();
    return loaded;
}

}  // namespace rte::mqtt
