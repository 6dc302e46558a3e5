// The lock files that Qt SerialPort keeps for the serial devices a process
// holds ("LCK..pts_3" for /dev/pts/3, "LCK.._tmp_x_analyser" for /tmp/x/analyser;
// the process number on the first line).  A process killed while it holds a
// port leaves its lock behind, and on a machine that others share, the next
// user cannot remove it: that port then cannot be opened in their tests.
#pragma once

#include <string>
#include <sys/types.h>

namespace support {

// Removes the lock files that name the process.  Only for a process that
// has ended and is not yet reaped: its number is nobody else's then.
void removeSerialLocks(pid_t pid);

// The lock file kept for the device at `path`, or "" when there is none.
std::string serialLock(const std::string &path);

}  // namespace support
