// The simulated analyser: reads queries from its link, answers them in the
// current mode, paced like a 9600-baud line, and takes mode changes from a
// control file.
#pragma once

#include "sim_link.h"
#include "sim_model.h"
#include "sim_options.h"

#include <chrono>
#include <csignal>
#include <deque>
#include <string>

namespace sim {

class Analyser {
public:
    explicit Analyser(const Options &options);

    // Serves until stop is set; check asks for the control file to be read
    // at once.  Both are set by signal handlers, which run only inside the
    // wait (the signals are blocked everywhere else).  Returns the exit
    // status.
    int run(volatile std::sig_atomic_t &stop, volatile std::sig_atomic_t &check);

private:
    using Clock = std::chrono::steady_clock;
    struct Reply {
        std::string bytes;
        std::size_t sent = 0;
        Clock::time_point start;
    };

    bool setMode(Mode mode);
    std::string controlText() const;
    void readControl();
    void receive();
    void answer(const std::string &query);
    void send();
    // The time the next reply byte is due, or the far future.
    Clock::time_point nextByteDue() const;
    void finish(long replies);
    void writeStatus();

    Options options_;
    Link link_;
    Cell cell_;
    Mode mode_ = Mode::Hangup;
    Clock::duration byteTime_;
    Clock::duration turnaround_;
    Clock::time_point started_;
    std::string query_;
    std::deque<Reply> replies_;
    std::string lastControl_;
    long queries_ = 0;
    long finished_ = 0;
    long generation_ = 0;
    bool statusChanged_ = true;
};

}  // namespace sim
