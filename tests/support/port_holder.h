// Another program holding a serial device open, as when a second copy of the
// program or a terminal program has the port.
#pragma once

#include "tools/child_process.h"
#include "tools/temp_dir.h"

#include <string>

namespace support {

class PortHolder {
public:
    // Opens path through the serial service in a child process and returns
    // once the open has ended; throws if it does not within 10 s.
    explicit PortHolder(const std::string &path);

    // What the child's open returned: 0 while it holds the device.
    int openStatus() const { return status_; }

private:
    TempDir dir_;
    ChildProcess process_;
    int status_ = 0;
};

}  // namespace support
