// Eclipse Paho's asynchronous client, as the MQTT client calls it: through
// this table, loaded when the first client is made.  Paho and the TLS
// library under it take some 8 ms of processor time to map and relocate at
// every start, before the first window can show; a program that does not
// publish never needs them.
#pragma once

#include <MQTTAsync.h>

namespace rte::mqtt {

struct Paho {
    decltype(&MQTTAsync_createWithOptions) createWithOptions;
    decltype(&MQTTAsync_setConnectionLostCallback) setConnectionLostCallback;
    decltype(&MQTTAsync_setDeliveryCompleteCallback) setDeliveryCompleteCallback;
    decltype(&MQTTAsync_connect) connect;
    decltype(&MQTTAsync_sendMessage) sendMessage;
    decltype(&MQTTAsync_isConnected) isConnected;
    decltype(&MQTTAsync_disconnect) disconnect;
    decltype(&MQTTAsync_destroy) destroy;
    decltype(&MQTTAsync_free) free;
};

// The library, loaded on the first call; nullptr if it cannot be loaded,
// and then on every later call too.
const Paho *paho();

}  // namespace rte::mqtt
