#include "tools/child_process.h"

#include "tools/serial_locks.h"
#include "tools/sleep_until.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace support {

ChildProcess::ChildProcess(const std::vector<std::string> &argv, const std::string &outputPath)
{
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls until exec.  The child is told to end
        // when the thread that started it does, even if the test is killed
        // (a CTest time-out, a crash), and starts with no signal blocked
        // whatever the test has set up.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int output = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (output > 1) {
            ::dup2(output, 1);
            ::close(output);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (child < 0)
        throw std::runtime_error("cannot start " + argv[0]);
    pid_ = child;
}

ChildProcess::~ChildProcess()
{
    if (!running())
        return;
    signal(SIGTERM);
    if (!sleepUntil([this] { return !running(); })) {
        signal(SIGKILL);
        siginfo_t info{};
        while (::waitid(P_PID, pid_, &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        reap();
    }
}

void ChildProcess::signal(int number) const { ::kill(pid_, number); }

bool ChildProcess::running()
{
    if (pid_ < 0)
        return false;
    // Seen to have ended, but not reaped yet.
    siginfo_t info{};
    if (::waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0)
        return true;
    reap();
    return false;
}

// A program killed while it holds a port leaves its lock file, which the
// next user of the machine could not remove.
void ChildProcess::reap()
{
    removeSerialLocks(pid_);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace support
