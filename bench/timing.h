// The clocks the benchmarks time with.
#pragma once

#include <chrono>
#include <ctime>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <dirent.h>
#include <sys/types.h>
#endif

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Processor time of this process (user and system): less disturbed than the
// wall clock when other work shares the machine.
inline double cpuNow()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

#ifndef _WIN32
// Processor time of all the running threads of another process, in ms:
// finer than utime + stime, which count in clock ticks.
inline double processorMs(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double ns = 0;
    if (DIR *dir = ::opendir(tasks.c_str())) {
        while (const dirent *task = ::readdir(dir)) {
            std::ifstream stat(tasks + "/" + task->d_name + "/schedstat");
            double onCpu = 0;
            if (task->d_name[0] != '.' && stat >> onCpu)
                ns += onCpu;
        }
        ::closedir(dir);
    }
    return ns / 1e6;
}
#endif

}  // namespace bench
