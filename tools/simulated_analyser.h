// The simulated analyser (tools/analyser_sim) as a child process on a
// pseudo-terminal reached through a link in a temporary directory.
#pragma once

#include "tools/child_process.h"
#include "tools/temp_dir.h"

#include <functional>
#include <string>
#include <vector>

namespace support {

struct SimulatorStatus {
    std::string mode;
    bool linkUp = false;
    long generation = 0;  // how many terminals it has opened
    // Both counted from the end of the constructor, so its own check that
    // the simulator answers does not show.
    long queries = 0;   // queries received
    long finished = 0;  // queries answered in full, or left unanswered
};

class SimulatedAnalyser {
public:
    // Starts the simulator with extra command-line options (not --mode) and
    // returns once its link exists and it has answered a query; throws if it
    // does not within 10 s.  It answers normally until setMode.
    explicit SimulatedAnalyser(const std::vector<std::string> &options = {});
    SimulatedAnalyser(const SimulatedAnalyser &) = delete;
    SimulatedAnalyser &operator=(const SimulatedAnalyser &) = delete;

    const std::string &linkPath() const { return link_; }
    SimulatorStatus status() const;

    // Each returns once the simulator has taken the change; throws if it
    // has not within 10 s.
    void setMode(const std::string &mode);
    // The terminal closes, so its other end sees a hang-up, and the link
    // goes away, as when an adapter is pulled.
    void hangUp();
    // A new terminal behind the same link, as when it is plugged back in.
    void bringBack(const std::string &mode = "normal");
    // Until the simulator has finished with that many queries (as counted
    // by status).
    void waitForFinished(long queries) const;

private:
    void waitFor(const char *what, const std::function<bool(const SimulatorStatus &)> &done) const;
    SimulatorStatus readStatus() const;

    TempDir dir_;
    std::string link_;
    std::string control_;
    std::string status_;
    ChildProcess process_;
    long queriesBefore_ = 0;
    long finishedBefore_ = 0;
};

}  // namespace support
