// A program started for a test, always ended with its owner, and with the
// test process if that ends first.  However it ends, the serial lock files
// that name it go with it.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace support {

class ChildProcess {
public:
    // Starts argv[0] with its standard output into outputPath; throws when
    // it cannot be started.  The thread that starts it must outlive it.
    ChildProcess(const std::vector<std::string> &argv, const std::string &outputPath);
    // Ends it: SIGTERM, then SIGKILL if it has not ended within 10 s.
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    void signal(int number) const;
    bool running();

private:
    // Once it has ended: its lock files, then its process number.
    void reap();

    pid_t pid_ = -1;
};

}  // namespace support
