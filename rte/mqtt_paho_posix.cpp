#include "rte/mqtt_paho.h"

#include <dlfcn.h>

#include <cstdio>

namespace rte::mqtt {
namespace {

template <typename F>
bool take(void *library, const char *name, F &function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

const Paho *load()
{
    // Kept for the life of the process: Paho's threads may outlive every
    // client.
    void *library = dlopen(PAHO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "Publishing cannot start: %s\n", dlerror());
        return nullptr;
    }
    static Paho table;
    const bool whole = take(library, "MQTTAsync_createWithOptions", table.createWithOptions) &&
                       take(library, "MQTTAsync_setConnectionLostCallback", table.setConnectionLostCallback) &&
                       take(library, "MQTTAsync_setDeliveryCompleteCallback", table.setDeliveryCompleteCallback) &&
                       take(library, "MQTTAsync_connect", table.connect) &&
                       take(library, "MQTTAsync_sendMessage", table.sendMessage) &&
                       take(library, "MQTTAsync_isConnected", table.isConnected) &&
                       take(library, "MQTTAsync_disconnect", table.disconnect) &&
                       take(library, "MQTTAsync_destroy", table.destroy) && take(library, "MQTTAsync_free", table.free);
    if (!whole) {
        std::fprintf(stderr, "Publishing cannot start: %s lacks %s\n", PAHO_LIBRARY, dlerror());
        return nullptr;
    }
    return &table;
}

}  // namespace

const Paho *paho()
{
    static const Paho *const loaded = load();
    return loaded;
}

}  // namespace rte::mqtt
