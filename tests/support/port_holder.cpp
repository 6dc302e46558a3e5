#include "tests/support/port_holder.h"

#include "tools/sleep_until.h"

#include <fstream>
#include <stdexcept>

namespace support {

PortHolder::PortHolder(const std::string &path)
    : process_({PORT_HOLDER_PATH, path, dir_.file("opened")}, dir_.file("output"))
{
    if (!sleepUntil([&] { return std::ifstream(dir_.file("opened")) >> status_ ? true : false; }))
        throw std::runtime_error("the port holder did not open " + path);
}

}  // namespace support
