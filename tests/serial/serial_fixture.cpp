#include "tests/serial/serial_fixture.h"

#include "rte/rs232.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>

namespace serialtest {
namespace {

// Qt SerialPort needs an application on the thread that uses it; ending it
// also closes the ports that a test left open.
class CoreApplication : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[13] = "serial_tests";
    char *argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment *const kApplication =
    ::testing::AddGlobalTestEnvironment(new CoreApplication);

}  // namespace

Reply readReply(int port)
{
    char area[kReplyArea];
    std::fill(std::begin(area), std::end(area), kUntouched);
    const int stored = ComRdTerm(port, area, kReplyCount, 13);
    const int status = ReturnRS232Err();
    EXPECT_EQ(status, _GetRs232Err());
    if (stored < 0) {
        EXPECT_EQ(stored, status) << "a read that could not begin returns its status";
    }
    EXPECT_LE(stored, kReplyCount);
    const std::string bytes(area, static_cast<std::size_t>(std::clamp(stored, 0, kReplyCount)));
    for (std::size_t i = bytes.size(); i < sizeof area; ++i)
        EXPECT_EQ(area[i], kUntouched) << "written past the stored count at " << i;
    return {status, bytes};
}

Reply exchange(int port, std::string_view query)
{
    const std::string command = std::string(query) + '\r';
    FlushOutQ(port);
    ComWrt(port, command.data(), static_cast<int>(command.size()));
    FlushInQ(port);
    return readReply(port);
}

PortMapping::PortMapping(int port, const std::string &path) : variable_("RTE_COM" + std::to_string(port))
{
    ::setenv(variable_.c_str(), path.c_str(), 1);
}

PortMapping::~PortMapping() { ::unsetenv(variable_.c_str()); }

void SimulatorTest::SetUp()
{
    sim_ = std::make_unique<support::SimulatedAnalyser>(simulatorOptions());
    mapping_ = std::make_unique<PortMapping>(kPort, sim_->linkPath());
    ASSERT_EQ(OpenComConfig(kPort, "", 9600, 0, 8, 1, 128, 24), kRs232NoError);
    ASSERT_EQ(SetComTime(kPort, kTimeout), kRs232NoError);
}

void SimulatorTest::TearDown()
{
    CloseCom(kPort);
    mapping_.reset();
    sim_.reset();
}

}  // namespace serialtest
