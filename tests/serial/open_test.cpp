// Opening ports and the codes that say why one does not open or cannot be
// used.
#include "rte/rs232.h"
#include "tests/serial/serial_fixture.h"
#include "tests/support/port_holder.h"
#include "tests/support/privileges.h"
#include "tools/serial_locks.h"
#include "tools/sleep_until.h"
#include "tools/temp_dir.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <regex>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace serialtest {
namespace {

int openLikeTheProgram(int port) { return OpenComConfig(port, "", 9600, 0, 8, 1, 128, 24); }

std::string refusal(int port)
{
    char why[128];
    GetComOpenFailure(port, why);
    return why;
}

// Why an open failed, as an ordinary user's process heard it.
struct Refused {
    int status;
    std::string why;
};

// Opens the terminal as a terminal program that takes it for itself
// (TIOCEXCL) and keeps no lock file, after letting everyone try it; the
// descriptor, or -1 when a step fails.
int takeForItself(const std::string &terminal)
{
    if (terminal.empty() || ::chmod(terminal.c_str(), 0666) != 0)
        return -1;
    const int taken = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
    if (taken >= 0 && ::ioctl(taken, TIOCEXCL) != 0) {
        ::close(taken);
        return -1;
    }
    return taken;
}

// Permissions do not hold back root: as root, the port is opened by the
// user nobody, in a child process, which tells the status and the words
// through a pipe.
Refused openAsAnOrdinaryUser(int port)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return {kRs232OpenFailed, "no pipe"};
    const int exit = support::inChildProcess([&] {
        ::close(pipe[0]);
        std::string answer;
        if (const std::string why = support::dropRoot(); !why.empty()) {
            answer = "0\ncannot become an ordinary user: " + why;
        } else {
            const int status = openLikeTheProgram(port);
            answer = std::to_string(status) + "\n" + refusal(port);
        }
        const bool told = ::write(pipe[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
        return told ? 0 : 1;
    });
    ::close(pipe[1]);
    std::string answer;
    char chunk[256];
    for (ssize_t n; (n = ::read(pipe[0], chunk, sizeof chunk)) > 0;)
        answer.append(chunk, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    const std::size_t end = answer.find('\n');
    if (exit != 0 || end == std::string::npos)
        return {kRs232OpenFailed, "the child ended with " + std::to_string(exit)};
    return {std::stoi(answer.substr(0, end)), answer.substr(end + 1)};
}

// The pseudo-terminal itself, not the link in the simulator's private
// directory, which only its owner may pass.
std::string terminalOf(const support::SimulatedAnalyser &sim)
{
    char terminal[256] = {};
    return ::readlink(sim.linkPath().c_str(), terminal, sizeof terminal - 1) > 0 ? terminal : "";
}

TEST(SerialOpen, MissingDevicesAreNoSuchPort)
{
    support::TempDir dir;
    const PortMapping mapped(3, dir.file("no-such-device"));
    EXPECT_EQ(refusal(3), "") << "before any try";
    EXPECT_EQ(openLikeTheProgram(3), kRs232NoSuchPort);
    EXPECT_EQ(ReturnRS232Err(), kRs232NoSuchPort);
    EXPECT_EQ(_GetRs232Err(), kRs232NoSuchPort);
    EXPECT_EQ(refusal(3), "not there");
    // A caller's bug says nothing about the device.
    EXPECT_EQ(OpenComConfig(3, "", 9600, 5, 8, 1, 128, 24), kRs232BadArgument);
    EXPECT_EQ(refusal(3), "not there");

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
    // The system's own words, whatever they are.
    const std::string why = refusal(3);
    EXPECT_FALSE(why.empty());
    for (const char *other : {"not there", "in use by another program", "no permission"})
        EXPECT_EQ(why.find(other), std::string::npos) << why;
}

// A device that lets in its group but not its owner refuses the user, and
// names the group to join: as root the test gives the device to dialout,
// as Debian does its serial ports; an ordinary user cannot, and its
// terminal keeps its group.  One that lets no group in has none to name.
TEST_F(SimulatorTest, ADeviceWithoutPermissionIsAccessDeniedAndNamesTheGroupToJoin)
{
    CloseCom(kPort);
    const std::string terminal = terminalOf(*sim_);
    ASSERT_FALSE(terminal.empty());
    if (::geteuid() == 0) {
        const group *dialout = ::getgrnam("dialout");
        ASSERT_NE(dialout, nullptr);
        ASSERT_EQ(::chown(terminal.c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
    }
    struct stat node{};
    ASSERT_EQ(::stat(terminal.c_str(), &node), 0);
    const group *owners = ::getgrgid(node.st_gid);
    ASSERT_NE(owners, nullptr);
    const std::string groupName = owners->gr_name;
    const PortMapping direct(kPort + 1, terminal);

    ASSERT_EQ(::chmod(terminal.c_str(), 0060), 0);
    // A user of that group would be let in (an ordinary user whose
    // terminals have the user's own group).
    if (::geteuid() == 0 || ::access(terminal.c_str(), R_OK | W_OK) != 0) {
        const Refused byGroup = openAsAnOrdinaryUser(kPort + 1);
        EXPECT_EQ(byGroup.status, kRs232AccessDenied);
        EXPECT_EQ(byGroup.why, "no permission: add the user to the group " + groupName);
    }
    ASSERT_EQ(::chmod(terminal.c_str(), 0), 0);
    const Refused byNobody = openAsAnOrdinaryUser(kPort + 1);
    EXPECT_EQ(byNobody.status, kRs232AccessDenied);
    EXPECT_EQ(byNobody.why, "no permission");
}

TEST_F(SimulatorTest, ADeviceHeldByAnotherProgramIsBusyUntilItLetsGo)
{
    CloseCom(kPort);
    {
        const support::PortHolder other(sim_->linkPath());
        ASSERT_EQ(other.openStatus(), kRs232NoError);
        EXPECT_EQ(openLikeTheProgram(kPort), kRs232PortBusy);
        // The holder named, not the simulator at the line's other end.
        EXPECT_TRUE(std::regex_match(refusal(kPort), std::regex("in use by serial_port_holder .* \\(process [0-9]+\\)")))
            << refusal(kPort);
    }
    EXPECT_EQ(openLikeTheProgram(kPort), kRs232NoError);
    EXPECT_EQ(refusal(kPort), "");
    EXPECT_EQ(exchange(kPort, "M2").status, kRs232NoError);
}

// A terminal program that takes the device for itself (TIOCEXCL) and
// keeps no lock file: the system answers EBUSY to everyone else but root,
// so as root the port is opened by an ordinary user.
TEST_F(SimulatorTest, ADeviceTakenExclusivelyIsInUse)
{
    CloseCom(kPort);
    const std::string terminal = terminalOf(*sim_);
    const int taken = takeForItself(terminal);
    ASSERT_GE(taken, 0) << "'" << terminal << "': " << std::strerror(errno);
    const PortMapping direct(kPort + 1, terminal);
    const Refused refused = openAsAnOrdinaryUser(kPort + 1);
    ::close(taken);
    EXPECT_EQ(refused.status, kRs232PortBusy);
    EXPECT_EQ(refused.why, "in use by another program");
}

// A program killed while it had the device to itself closes it without
// giving it back; the last close of a real port ends the exclusive use, and
// the simulator's terminal must do the same although the simulator holds
// it too.
TEST_F(SimulatorTest, TheExclusiveUseOfAKilledProgramEndsWithItsLastClose)
{
    CloseCom(kPort);
    const std::string terminal = terminalOf(*sim_);
    const int taken = takeForItself(terminal);
    ASSERT_GE(taken, 0) << "'" << terminal << "': " << std::strerror(errno);
    ::close(taken);
    const PortMapping direct(kPort + 1, terminal);
    Refused last{kRs232PortBusy, ""};
    EXPECT_TRUE(support::sleepUntil(
        [&] {
            last = openAsAnOrdinaryUser(kPort + 1);
            return last.status == kRs232NoError;
        },
        std::chrono::seconds(30)))
        << last.status << " " << last.why;
    // The child that opened it ended holding it, as if killed.
    EXPECT_EQ(support::serialLock(terminal), "") << "its lock is left for the next user of the terminal";
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
