#include "tools/mqtt_broker.h"

#include <arpa/inet.h>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/sleep_until.h"

namespace support {
namespace {

using namespace std::chrono_literals;

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A port nobody listens on now: the system's choice for a socket bound to 0.
int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t size = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

bool accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(s, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

}  // namespace

MqttBroker::MqttBroker(const std::string &dir, const std::string &config) : dir_(dir), port_(freePort())
{
    std::ofstream(dir_ + "/mosquitto.conf")
        << "listener " << port_ << " 127.0.0.1\n"
        << "persistence true\npersistence_location " << dir_ << "/\nautosave_interval 1\n"
        << "log_dest file " << dir_ << "/mosquitto.log\n"
        // A subscriber away while a backlog of tests' size arrives gets all of it.
        << "max_queued_messages 0\n"
        // Started by root (a container), it keeps its rights to the test's folder.
        << (::getuid() == 0 ? "user root\n" : "")
        << (config.find("allow_anonymous") == std::string::npos ? "allow_anonymous true\n" : "")
        << config;
}

bool MqttBroker::start()
{
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{MOSQUITTO_PATH, "-c", dir_ + "/mosquitto.conf"}, dir_ + "/mosquitto.out");
    return sleepUntil([this] { return accepts(port_) || !process_->running(); }, 20s) &&
           process_->running();
}

void MqttBroker::stop(int signal)
{
    if (process_ && signal != SIGTERM) {
        process_->signal(signal);
        sleepUntil([this] { return !process_->running(); });
    }
    process_.reset();
}

bool MqttBroker::saved()
{
    const std::string db = dir_ + "/mosquitto.db";
    std::remove(db.c_str());
    return sleepUntil([&] { return std::ifstream(db).good(); }, 20s);
}

MqttSubscriber::MqttSubscriber(const MqttBroker &broker, const std::string &topicRoot,
                               const std::string &output)
    : broker_(broker), root_(topicRoot), output_(output)
{
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{MOSQUITTO_SUB_PATH, "-h", "127.0.0.1", "-p", std::to_string(broker.port()),
                                 "-t", topicRoot + "/#", "-q", "1", "-v", "-c", "-i",
                                 "test-subscriber-" + std::to_string(::getpid())},
        output);
}

bool MqttSubscriber::ready()
{
    // A message sent after the subscription stands comes back; one sent
    // before it is lost, so the probe is sent until one arrives.
    const std::string probe = root_ + "/probe";
    return sleepUntil(
        [&] {
            ChildProcess pub({MOSQUITTO_PUB_PATH, "-h", "127.0.0.1", "-p", std::to_string(broker_.port()),
                              "-t", probe, "-m", "probe", "-q", "1"},
                             "/dev/null");
            sleepUntil([&] { return !pub.running(); });
            for (const std::string &line : lines())
                if (line.starts_with(probe))
                    return true;
            return false;
        },
        20s);
}

std::vector<std::string> MqttSubscriber::lines() const
{
    std::vector<std::string> out;
    std::ifstream in(output_);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

}  // namespace support
