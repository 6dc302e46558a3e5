// The simulated analyser's command line.
#pragma once

#include "sim_mode.h"

#include <optional>
#include <string>

namespace sim {

struct Options {
    std::string linkPath;
    Mode mode = Mode::Normal;
    std::string controlPath;  // empty: no control file
    std::string statusPath;   // empty: no status file
    double timeConstant = 180.0;
    double speed = 1.0;
    double slowDelay = 1.5;
    double turnaround = 0.01;  // seconds the instrument takes before it replies
    bool pacing = true;
    unsigned seed = 1;
};

// The options, or nothing after printing what is wrong with them.
std::optional<Options> parseOptions(int argc, char **argv);

}  // namespace sim
