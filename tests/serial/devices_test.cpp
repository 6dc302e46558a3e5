// The list of serial devices for the port panel.
#include "rte/rs232.h"
#include "tests/serial/serial_fixture.h"
#include "tools/temp_dir.h"

#include <algorithm>
#include <string>
#include <vector>

namespace serialtest {
namespace {

std::vector<ComDevice> listed(int max = 64)
{
    std::vector<ComDevice> devices(static_cast<std::size_t>(max));
    const int count = ListComDevices(devices.data(), max);
    EXPECT_GE(count, 0);
    EXPECT_EQ(ReturnRS232Err(), kRs232NoError);
    devices.resize(static_cast<std::size_t>(std::max(count, 0)));
    return devices;
}

const ComDevice *find(const std::vector<ComDevice> &devices, const std::string &path)
{
    const auto hit = std::find_if(devices.begin(), devices.end(),
                                  [&path](const ComDevice &d) { return path == d.path; });
    return hit == devices.end() ? nullptr : &*hit;
}

// The number listed with path; -1 when it is not listed, -2 when it is
// listed more than once.
int numberOf(const std::vector<ComDevice> &devices, const std::string &path)
{
    int number = -1;
    for (const ComDevice &device : devices)
        if (path == device.path)
            number = number == -1 ? device.port : -2;
    return number;
}

TEST(SerialDevices, ListMappedDevicesWithTheirNumbersFirst)
{
    support::TempDir dir;
    const PortMapping missing(12, dir.file("unplugged"));
    const PortMapping present(9, "/dev/null");
    const std::vector<ComDevice> devices = listed();
    EXPECT_EQ(numberOf(devices, dir.file("unplugged")), 12);
    EXPECT_EQ(numberOf(devices, "/dev/null"), 9);
    ASSERT_NE(find(devices, dir.file("unplugged")), nullptr);
    EXPECT_EQ(find(devices, dir.file("unplugged"))->present, 0);
    EXPECT_EQ(find(devices, "/dev/null")->present, 1);
    EXPECT_TRUE(std::is_sorted(devices.begin(), devices.end(), [](const ComDevice &a, const ComDevice &b) {
        return (a.port == 0 ? 1000 : a.port) < (b.port == 0 ? 1000 : b.port);
    }));
}

// A system serial port counts once, under the number that reaches it: its
// own while no mapping takes that number, the mapping's when one points at
// it, none when a mapping took its number for another device.
TEST(SerialDevices, ListSystemPortsUnderTheNumberThatReachesThem)
{
    if (numberOf(listed(), "/dev/ttyS0") == -1)
        GTEST_SKIP() << "the system reports no /dev/ttyS0 here";
    EXPECT_EQ(numberOf(listed(), "/dev/ttyS0"), 1);
    {
        const PortMapping elsewhere(1, "/dev/null");
        EXPECT_EQ(numberOf(listed(), "/dev/ttyS0"), 0);
    }
    const PortMapping here(5, "/dev/ttyS0");
    EXPECT_EQ(numberOf(listed(), "/dev/ttyS0"), 5);
}

TEST(SerialDevices, WriteNoMoreThanAsked)
{
    const PortMapping a(9, "/dev/null");
    const PortMapping b(10, "/dev/zero");
    std::vector<ComDevice> devices(2);
    devices[1].port = -99;
    EXPECT_EQ(ListComDevices(devices.data(), 1), 1);
    EXPECT_EQ(devices[1].port, -99);
    EXPECT_EQ(ListComDevices(nullptr, 0), 0);
    EXPECT_EQ(ListComDevices(nullptr, 3), kRs232BadArgument);
}

}  // namespace
}  // namespace serialtest
