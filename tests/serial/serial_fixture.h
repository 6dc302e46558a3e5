// What the serial tests share: the program's exchange with the analyser, and
// a port opened on a fresh simulated analyser.
#pragma once

#include "tools/simulated_analyser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace serialtest {

// The program's reply area: 25 bytes, read with count 24.
inline constexpr int kReplyArea = 25;
inline constexpr int kReplyCount = 24;
// Fills the area before a read, to see what the read wrote.
inline constexpr char kUntouched = '\xA5';

struct Reply {
    int status;  // ReturnRS232Err after the read
    std::string bytes;
};

// One exchange as the program makes it: FlushOutQ, ComWrt of the query and
// a carriage return, FlushInQ, ComRdTerm of 24 bytes up to a carriage
// return.  Fails the test if the read returned another count than it
// stored, or wrote past what it stored.
Reply exchange(int port, std::string_view query);
// ComRdTerm alone, with the same checks.
Reply readReply(int port);

// Maps RTE_COM<n> to a path for the life of the object.
class PortMapping {
public:
    PortMapping(int port, const std::string &path);
    ~PortMapping();
    PortMapping(const PortMapping &) = delete;
    PortMapping &operator=(const PortMapping &) = delete;

private:
    std::string variable_;
};

// A simulated analyser answering normally on port kPort, opened with the
// program's line parameters and a time-out of kTimeout seconds.
class SimulatorTest : public ::testing::Test {
protected:
    static constexpr int kPort = 7;
    static constexpr double kTimeout = 1.0;

    void SetUp() override;
    void TearDown() override;
    // The simulator's command-line options.
    virtual std::vector<std::string> simulatorOptions() const { return {"--slow-delay", "2.5"}; }

    std::unique_ptr<support::SimulatedAnalyser> sim_;
    std::unique_ptr<PortMapping> mapping_;
};

}  // namespace serialtest
