#include "rte/mqtt/paho.h"

#include "rte/mqtt.h"

namespace rte::mqtt {

// Windows maps a DLL's pages as they are used and relocates little: the
// library is linked as usual.
const Paho *paho()
{
    static const Paho table{MQTTAsync_createWithOptions, MQTTAsync_setConnectionLostCallback,
                            MQTTAsync_setDeliveryCompleteCallback, MQTTAsync_connect, MQTTAsync_sendMessage,
                            MQTTAsync_isConnected, MQTTAsync_disconnect, MQTTAsync_destroy, MQTTAsync_free};
    return &table;
}

}  // namespace rte::mqtt

// Linked: a missing library stops the program before it starts.
const char *MqttMissingLibrary()
{
    return "";
}
