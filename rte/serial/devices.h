// Which device a port number reaches, and the serial devices present.
#pragma once

#include <string>
#include <vector>

namespace rte::serial {

// Port numbers run from 1 to kMaxPort.
inline constexpr int kMaxPort = 256;

// RTE_COM<port> when set, else the platform's own name for the port.
std::string devicePath(int port);

struct Device {
    int port;  // 0 when no number reaches it
    std::string path;
    bool present;  // false: a mapping names a path where no device is
};
// Every RTE_COM<n> in the environment, then the serial devices the system
// reports that no mapping already covers; numbered ones first.
std::vector<Device> listDevices();

}  // namespace rte::serial
