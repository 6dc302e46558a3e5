#include "tools/simulated_analyser.h"

#include "tools/sleep_until.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace support {
namespace {

std::vector<std::string> commandLine(const TempDir &dir, const std::vector<std::string> &options)
{
    std::vector<std::string> argv{ANALYSER_SIM_PATH, "--control", dir.file("control"), "--status",
                                  dir.file("status")};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(dir.file("analyser"));
    return argv;
}

// One query over a plain descriptor, so that readiness does not depend on
// the serial service under test.
bool answersQuery(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return false;
    termios mode{};
    ::tcgetattr(fd, &mode);
    ::cfmakeraw(&mode);
    ::tcsetattr(fd, TCSANOW, &mode);
    bool answered = ::write(fd, "M2\r", 3) == 3;
    char byte = 0;
    while (answered && byte != '\r') {
        pollfd wait{fd, POLLIN, 0};
        answered = ::poll(&wait, 1, 10000) == 1 && ::read(fd, &byte, 1) == 1;
    }
    ::close(fd);
    return answered;
}

}  // namespace

SimulatedAnalyser::SimulatedAnalyser(const std::vector<std::string> &options)
    : link_(dir_.file("analyser")),
      control_(dir_.file("control")),
      status_(dir_.file("status")),
      process_(commandLine(dir_, options), dir_.file("output"))
{
    waitFor("its link", [](const SimulatorStatus &s) { return s.linkUp; });
    if (!answersQuery(link_))
        throw std::runtime_error("the simulated analyser does not answer on " + link_);
    waitForFinished(1);
    queriesBefore_ = finishedBefore_ = 1;
}

SimulatorStatus SimulatedAnalyser::status() const
{
    SimulatorStatus status = readStatus();
    status.queries -= queriesBefore_;
    status.finished -= finishedBefore_;
    return status;
}

SimulatorStatus SimulatedAnalyser::readStatus() const
{
    SimulatorStatus status;
    std::ifstream file(status_);
    std::string key;
    std::string value;
    while (file >> key >> value) {
        if (key == "mode")
            status.mode = value;
        else if (key == "link")
            status.linkUp = value == "up";
        else if (key == "generation")
            status.generation = std::stol(value);
        else if (key == "queries")
            status.queries = std::stol(value);
        else if (key == "finished")
            status.finished = std::stol(value);
    }
    return status;
}

void SimulatedAnalyser::waitFor(const char *what,
                                const std::function<bool(const SimulatorStatus &)> &done) const
{
    if (!sleepUntil([&] { return done(status()); }))
        throw std::runtime_error(std::string("the simulated analyser did not reach ") + what);
}

void SimulatedAnalyser::setMode(const std::string &mode)
{
    const std::string fresh = control_ + ".new";
    std::ofstream(fresh, std::ios::trunc) << mode << '\n';
    std::filesystem::rename(fresh, control_);
    process_.signal(SIGUSR1);
    waitFor("its new mode", [&](const SimulatorStatus &s) { return s.mode == mode; });
}

void SimulatedAnalyser::hangUp()
{
    setMode("hangup");
    if (std::filesystem::exists(std::filesystem::symlink_status(link_)))
        throw std::runtime_error("the simulated analyser hung up but left its link");
}

void SimulatedAnalyser::bringBack(const std::string &mode)
{
    const long before = status().generation;
    setMode(mode);
    waitFor("a new terminal", [&](const SimulatorStatus &s) { return s.linkUp && s.generation > before; });
}

void SimulatedAnalyser::waitForFinished(long queries) const
{
    waitFor("the end of its replies", [&](const SimulatorStatus &s) { return s.finished >= queries; });
}

}  // namespace support
