// Opening ports and the codes that say why one does not open or cannot be
// used.
#include "rte/rs232.h"
#include "tests/serial/serial_fixture.h"
#include "tests/support/port_holder.h"
#include "tests/support/privileges.h"
#include "tools/temp_dir.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace serialtest {
namespace {

int openLikeTheProgram(int port) { return OpenComConfig(port, "", 9600, 0, 8, 1, 128, 24); }

TEST(SerialOpen, MissingDevicesAreNoSuchPort)
{
    support::TempDir dir;
    const PortMapping mapped(3, dir.file("no-such-device"));
    EXPECT_EQ(openLikeTheProgram(3), kRs232NoSuchPort);
    EXPECT_EQ(ReturnRS232Err(), kRs232NoSuchPort);
    EXPECT_EQ(_GetRs232Err(), kRs232NoSuchPort);

    // Unmapped, a number names the platform's own device: one absent here.
    int absent = 256;
    while (absent > 1 && ::access(("/dev/ttyS" + std::to_string(absent - 1)).c_str(), F_OK) == 0)
        --absent;
    ASSERT_GT(absent, 1) << "every /dev/ttyS device exists on this machine";
    EXPECT_EQ(openLikeTheProgram(absent), kRs232NoSuchPort);
}

TEST(SerialOpen, SomethingThatIsNoTerminalFailsToOpen)
{
    support::TempDir dir;
    std::ofstream(dir.file("plain")) << "not a terminal\n";
    const PortMapping mapped(3, dir.file("plain"));
    EXPECT_EQ(openLikeTheProgram(3), kRs232OpenFailed);
}

// Permissions do not hold back root: a root test opens the device as an
// ordinary user, in a child process, which answers with the open's status.
TEST_F(SimulatorTest, ADeviceWithoutPermissionIsAccessDenied)
{
    CloseCom(kPort);
    char terminal[256] = {};
    ASSERT_GT(::readlink(sim_->linkPath().c_str(), terminal, sizeof terminal - 1), 0);
    ASSERT_EQ(::chmod(terminal, 0), 0);
    // The terminal itself, not the link in the test's private directory.
    const PortMapping direct(kPort + 1, terminal);
    const int status = support::inChildProcess([] {
        if (const std::string why = support::dropRoot(); !why.empty()) {
            std::fprintf(stderr, "cannot become an ordinary user: %s\n", why.c_str());
            return 255;
        }
        return -openLikeTheProgram(kPort + 1);
    });
    EXPECT_EQ(-status, kRs232AccessDenied);
}

TEST_F(SimulatorTest, ADeviceHeldByAnotherProgramIsBusyUntilItLetsGo)
{
    CloseCom(kPort);
    {
        const support::PortHolder other(sim_->linkPath());
        ASSERT_EQ(other.openStatus(), kRs232NoError);
        EXPECT_EQ(openLikeTheProgram(kPort), kRs232PortBusy);
    }
    EXPECT_EQ(openLikeTheProgram(kPort), kRs232NoError);
    EXPECT_EQ(exchange(kPort, "M2").status, kRs232NoError);
}

TEST_F(SimulatorTest, ADeviceHeldUnderAnotherNumberIsBusy)
{
    const PortMapping second(kPort + 1, sim_->linkPath());
    EXPECT_EQ(openLikeTheProgram(kPort + 1), kRs232PortBusy);
    EXPECT_EQ(exchange(kPort, "M2").status, kRs232NoError);
}

TEST_F(SimulatorTest, OpeningAnOpenPortAgainReopensIt)
{
    EXPECT_EQ(openLikeTheProgram(kPort), kRs232NoError);
    EXPECT_EQ(ReturnRS232Err(), kRs232NoError);
    EXPECT_EQ(exchange(kPort, "M2").status, kRs232NoError);
}

TEST_F(SimulatorTest, StatusIsThatOfTheLatestCall)
{
    EXPECT_EQ(SetComTime(kPort, -1.0), kRs232BadArgument);
    EXPECT_EQ(ReturnRS232Err(), kRs232BadArgument);
    EXPECT_EQ(FlushInQ(kPort), kRs232NoError);
    EXPECT_EQ(ReturnRS232Err(), kRs232NoError);
    EXPECT_EQ(_GetRs232Err(), kRs232NoError);
}

struct Call {
    const char *name;
    std::function<int(int port)> run;
};

void PrintTo(const Call &call, std::ostream *out) { *out << call.name; }

std::string nameOf(const ::testing::TestParamInfo<Call> &info) { return info.param.name; }

const Call kEveryCallOnAPort[] = {
    {"CloseCom", [](int port) { return CloseCom(port); }},
    {"SetComTime", [](int port) { return SetComTime(port, 1.0); }},
    {"FlushInQ", [](int port) { return FlushInQ(port); }},
    {"FlushOutQ", [](int port) { return FlushOutQ(port); }},
    {"ComWrt", [](int port) { return ComWrt(port, "M2\r", 3); }},
    {"ComRdTerm",
     [](int port) {
         char area[kReplyArea];
         return ComRdTerm(port, area, kReplyCount, 13);
     }},
};

class CallOnAClosedPort : public SimulatorTest, public ::testing::WithParamInterface<Call> {};

TEST_P(CallOnAClosedPort, IsNotOpen)
{
    EXPECT_EQ(GetParam().run(kPort + 1), kRs232NotOpen) << "never opened";
    EXPECT_EQ(ReturnRS232Err(), kRs232NotOpen);
    ASSERT_EQ(CloseCom(kPort), kRs232NoError);
    EXPECT_EQ(GetParam().run(kPort), kRs232NotOpen) << "closed";
    EXPECT_EQ(ReturnRS232Err(), kRs232NotOpen);
}

INSTANTIATE_TEST_SUITE_P(Serial, CallOnAClosedPort, ::testing::ValuesIn(kEveryCallOnAPort), nameOf);

class CallerBug : public SimulatorTest, public ::testing::WithParamInterface<Call> {};

// Each is refused with the status that marks a caller's bug, and the open
// port goes on working.
TEST_P(CallerBug, IsABadArgument)
{
    EXPECT_EQ(GetParam().run(kPort), kRs232BadArgument);
    EXPECT_EQ(ReturnRS232Err(), kRs232BadArgument);
    EXPECT_EQ(exchange(kPort, "M2").status, kRs232NoError);
}

const Call kCallerBugs[] = {
    {"PortZero", [](int) { return openLikeTheProgram(0); }},
    {"PortBeyondTheLast", [](int) { return openLikeTheProgram(257); }},
    {"CallOnPortZero", [](int) { return FlushInQ(0); }},
    {"BaudRateZero", [](int port) { return OpenComConfig(port + 1, "", 0, 0, 8, 1, 128, 24); }},
    {"ParityBeyondEven", [](int port) { return OpenComConfig(port + 1, "", 9600, 3, 8, 1, 128, 24); }},
    {"NineDataBits", [](int port) { return OpenComConfig(port + 1, "", 9600, 0, 9, 1, 128, 24); }},
    {"FourDataBits", [](int port) { return OpenComConfig(port + 1, "", 9600, 0, 4, 1, 128, 24); }},
    {"ThreeStopBits", [](int port) { return OpenComConfig(port + 1, "", 9600, 0, 8, 3, 128, 24); }},
    {"NegativeTimeOut", [](int port) { return SetComTime(port, -0.5); }},
    {"NegativeWriteCount", [](int port) { return ComWrt(port, "M2\r", -1); }},
    {"NoBytesToWrite", [](int port) { return ComWrt(port, nullptr, 3); }},
    {"NegativeReadCount",
     [](int port) {
         char area[kReplyArea];
         return ComRdTerm(port, area, -1, 13);
     }},
    {"ReadCountBeyondTheBuffer",
     [](int port) {
         ComWrt(port, "M2\r", 3);
         char area[kReplyArea];
         std::fill(std::begin(area), std::end(area), kUntouched);
         const int result = ComRdTerm(port, area, kReplyArea + 1, 13);
         EXPECT_EQ(std::count(std::begin(area), std::end(area), kUntouched), kReplyArea) << "stored anyway";
         return result;
     }},
};

INSTANTIATE_TEST_SUITE_P(Serial, CallerBug, ::testing::ValuesIn(kCallerBugs), nameOf);

}  // namespace
}  // namespace serialtest
