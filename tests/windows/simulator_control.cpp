#include "tests/windows/simulator_control.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

#include <windows.h>

namespace wintest {
namespace {

std::string env(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

int simPort() { return std::atoi(env("VANDREL_SIM_PORT").c_str()); }

std::string statusValue(const std::string &key)
{
    std::ifstream in(env("VANDREL_SIM_STATUS"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + " ", 0) == 0)
            return line.substr(key.size() + 1);
    return "";
}

bool waitForStatus(const std::string &key, const std::string &value)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (statusValue(key) != value) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        ::Sleep(20);  // the simulator rewrites the file when something changes
    }
    return true;
}

bool setMode(const std::string &mode)
{
    // A new file renamed over the control file, so that the simulator never
    // reads half a name.
    const std::string control = env("VANDREL_SIM_CONTROL");
    std::ofstream(control + ".new") << mode << "\n";
    return ::MoveFileExA((control + ".new").c_str(), control.c_str(), MOVEFILE_REPLACE_EXISTING) &&
           waitForStatus("mode", mode);
}

}  // namespace wintest
