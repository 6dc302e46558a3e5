// A real MQTT broker on a loopback port of its own, and a real subscriber
// to it, for tests and benchmarks.  Each is a child process that its owner
// ends.
#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "tools/child_process.h"

namespace support {

class MqttBroker {
public:
    // Keeps its configuration, persistent sessions and log in `dir`;
    // `config` is added to the configuration (a password file, TLS).
    explicit MqttBroker(const std::string &dir, const std::string &config = "");
    int port() const { return port_; }
    // Starts it and waits until it accepts connections; false if it does
    // not within a generous limit.
    bool start();
    // Ends it with the signal (SIGTERM: as a service manager does, saving
    // its sessions; SIGKILL: outright, losing what it has not saved) and
    // waits for the end.
    void stop(int signal = SIGTERM);
    // Its sessions are saved every second: true once a save has happened
    // after this call.
    bool saved();

private:
    std::string dir_;
    int port_;
    std::unique_ptr<ChildProcess> process_;
};

// Subscribes with QoS 1 and a session the broker keeps, so that messages
// published while the subscriber is away (the broker restarting) reach it
// when it is back.  Each message is a line "topic payload".
class MqttSubscriber {
public:
    MqttSubscriber(const MqttBroker &broker, const std::string &topicRoot, const std::string &output);
    // Waits until the subscription stands; false if it does not.
    bool ready();
    std::vector<std::string> lines() const;

private:
    const MqttBroker &broker_;
    std::string root_, output_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace support
