// The serial service on Windows against the simulated analyser, which the
// script that runs this under wine links to a COM port of the wine prefix
// (simulator_control.h).
//
// Where wine differs from Windows: wine's COM ports are links to Unix
// devices.  A pulled USB adapter is played by the simulator closing its
// pseudo-terminal and removing the link; on Windows the driver then fails
// ReadFile and WriteFile and removes COMn, under wine the closed terminal
// fails them with an I/O error and the missing link makes COMn unknown:
// the service sees the same two things in both.
#include "rte/rs232.h"
#include "tests/windows/simulator_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

using namespace wintest;
using Clock = std::chrono::steady_clock;

double processorSeconds()
{
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto seconds = [](const FILETIME &t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct Reply {
    int status;
    std::string text;
};

Reply exchange(int port, const std::string &query)
{
    const std::string bytes = query + "\r";
    const int written = ComWrt(port, bytes.data(), static_cast<int>(bytes.size()));
    if (written < 0)
        return {written, ""};
    char buf[64];
    const int n = ComRdTerm(port, buf, 63, '\r');
    return {ReturnRS232Err(), std::string(buf, static_cast<std::size_t>(n > 0 ? n : 0))};
}

class WindowsSerial : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(simPort(), 0) << "VANDREL_SIM_PORT names the COM port linked to the simulator";
        ASSERT_TRUE(setMode("normal"));
        ASSERT_EQ(OpenComConfig(simPort(), "", 9600, 0, 8, 1, 512, 512), 0);
        ASSERT_EQ(SetComTime(simPort(), 2.0), 0);
    }
    void TearDown() override { CloseCom(simPort()); }
};

TEST_F(WindowsSerial, RepliesAreReadUpToTheTerminatorAndTheRestStaysQueued)
{
    const Reply first = exchange(simPort(), "M2");
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.text.rfind("M2 ", 0), 0u) << first.text;

    // Two queries at once: the first read takes a count, the next ones go on
    // where it stopped, across the terminator.
    ASSERT_EQ(ComWrt(simPort(), "A2\rA1\r", 6), 6);
    char buf[64];
    ASSERT_EQ(ComRdTerm(simPort(), buf, 2, '\r'), 2);
    EXPECT_EQ(std::string(buf, 2), "A2");
    const int rest = ComRdTerm(simPort(), buf, 63, '\r');
    ASSERT_GT(rest, 1);
    EXPECT_EQ(buf[0], ' ');
    const int next = ComRdTerm(simPort(), buf, 63, '\r');
    ASSERT_GT(next, 3);
    EXPECT_EQ(std::string(buf, 3), "A1 ");

    // What a flush leaves is nothing: the reply is all there when it runs.
    // Every query so far has been received (its reply came), but the last
    // may not count as finished yet.
    const int asked = std::stoi(statusValue("queries"));
    ASSERT_TRUE(waitForStatus("finished", std::to_string(asked)));
    ASSERT_EQ(ComWrt(simPort(), "M2\r", 3), 3);
    ASSERT_TRUE(waitForStatus("finished", std::to_string(asked + 1)));
    EXPECT_EQ(FlushInQ(simPort()), 0);
    SetComTime(simPort(), 0.3);
    EXPECT_EQ(ComRdTerm(simPort(), buf, 63, '\r'), 0);
    EXPECT_EQ(ReturnRS232Err(), kRs232Timeout);
}

TEST_F(WindowsSerial, SilenceTimesOutWithoutSpinning)
{
    ASSERT_TRUE(setMode("silent"));
    SetComTime(simPort(), 1.0);
    const double before = processorSeconds();
    const Reply r = exchange(simPort(), "M2");
    EXPECT_EQ(r.status, kRs232Timeout);
    EXPECT_LT(processorSeconds() - before, 0.5);
}

TEST_F(WindowsSerial, UnpluggedAdapterIsLostThenReadAgainWithoutTheCaller)
{
    ASSERT_EQ(exchange(simPort(), "M2").status, 0);
    const std::string generation = statusValue("generation");
    ASSERT_TRUE(setMode("hangup"));
    ASSERT_TRUE(waitForStatus("link", "down"));

    // Gone: every call says so, without waiting out its time-out in a loop
    // and without the processor spinning.
    const double before = processorSeconds();
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(exchange(simPort(), "M2").status, kRs232DeviceLost);
    EXPECT_LT(processorSeconds() - before, 1.0);

    ASSERT_TRUE(setMode("normal"));
    ASSERT_TRUE(waitForStatus("link", "up"));
    EXPECT_NE(statusValue("generation"), generation);
    // Back under the same name: the next exchanges reach it, the port never
    // reopened by the caller.
    Reply r{kRs232DeviceLost, ""};
    const auto limit = Clock::now() + std::chrono::seconds(20);
    while (r.status != 0 && Clock::now() < limit)
        r = exchange(simPort(), "M2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.text.rfind("M2 ", 0), 0u) << r.text;
}

std::string refusal(int port)
{
    char why[128];
    GetComOpenFailure(port, why);
    return why;
}

TEST(WindowsSerialOpen, MissingAndHeldPortsSayWhy)
{
    // RTE_COM<n> maps a number to any name; COM250 exists nowhere.
    _putenv_s("RTE_COM7", "COM250");
    EXPECT_EQ(OpenComConfig(7, "", 9600, 0, 8, 1, 512, 512), kRs232NoSuchPort);
    EXPECT_EQ(refusal(7), "not there");

    // A COM port is held by one program at a time: Windows refuses a second
    // open with ERROR_ACCESS_DENIED, which the service reports as busy.
    // Wine does not keep a device's opens apart (it checks sharing only for
    // files): there the second open succeeds, and this says so, so that the
    // day it does keep them apart is noticed.
    const std::string own = "COM" + std::to_string(simPort());
    ASSERT_EQ(OpenComConfig(simPort(), "", 9600, 0, 8, 1, 512, 512), 0);
    _putenv_s("RTE_COM8", own.c_str());
    const bool wine = ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    EXPECT_EQ(OpenComConfig(8, "", 9600, 0, 8, 1, 512, 512), wine ? 0 : kRs232PortBusy);
    CloseCom(8);
    CloseCom(simPort());
    EXPECT_EQ(OpenComConfig(8, "", 9600, 0, 8, 1, 512, 512), 0);
    EXPECT_EQ(refusal(8), "");
    CloseCom(8);
}

// What the system answers for a COM port that another program holds,
// access denied or a sharing violation, is "in use" to the operator.  Wine
// gives neither for its COM ports (above), so a name in the device
// namespace plays the port: a file that another handle holds without
// sharing, and a folder, which no one may open as a file.
TEST(WindowsSerialOpen, AccessDeniedAndSharingViolationAreInUse)
{
    char temp[MAX_PATH];
    ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
    const std::string folder = std::string(temp).substr(0, std::strlen(temp) - 1);  // without its last separator
    const std::string held = folder + "\\vandrel-held-port";
    const HANDLE holder = ::CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    _putenv_s("RTE_COM9", ("\\\\?\\" + held).c_str());
    EXPECT_EQ(OpenComConfig(9, "", 9600, 0, 8, 1, 512, 512), kRs232PortBusy);
    EXPECT_EQ(refusal(9), "in use by another program");
    ::CloseHandle(holder);

    _putenv_s("RTE_COM10", ("\\\\?\\" + folder).c_str());
    EXPECT_EQ(OpenComConfig(10, "", 9600, 0, 8, 1, 512, 512), kRs232PortBusy);
    EXPECT_EQ(refusal(10), "in use by another program");
}

}  // namespace
