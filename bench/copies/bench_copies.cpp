// Four copies of the whole program side by side, as on a bench PC with four
// analysers: one program folder, a profile each (p1 .. p4), each on a
// simulated analyser of its own, measuring once a second, recording a run
// resumed from its mark and publishing every reading to a real mosquitto.
//
// Start-up: the first copy alone, then the fourth beside the other three,
// each started STARTS times (killed and started again, resuming its run as
// after a crash) and timed from the start of the process to the moment it
// holds its analyser's port open, the last step of its start before it
// resumes the run; also the processor time it had used by then.
//
// Then, once all four have run for SETTLE seconds, each copy over WINDOW
// seconds: its resident memory at the end (VmRSS; Pss counts the pages it
// shares with the other copies once among them) and its processor time
// (utime + stime of all its threads) as a share of one core, with the
// readings it recorded and the messages of it that reached the broker.
//
//   bench_copies [SETTLE [WINDOW [STARTS]]]      (default 60 60 5)
//
// The display is the one Qt finds: QT_QPA_PLATFORM=offscreen (the default
// without a display) for none.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/timing.h"
#include "tools/mqtt_broker.h"
#include "tools/simulated_analyser.h"
#include "tools/temp_dir.h"

namespace {

namespace fs = std::filesystem;

double seconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// utime + stime of the process, all its threads, in seconds.
double processorSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fields after the command's name, which may hold blanks.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "Name: value kB" line of /proc/<pid>/status or smaps_rollup, in MB.
double statusMb(pid_t pid, const char *file, const char *name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name, 0) == 0)
            return std::atof(line.c_str() + std::strlen(name)) / 1024.0;
    return 0;
}

bool holds(pid_t pid, const std::string &device)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    bool found = false;
    if (DIR *dir = opendir(fds.c_str())) {
        while (const dirent *fd = readdir(dir)) {
            char target[256];
            const ssize_t n = readlink((fds + "/" + fd->d_name).c_str(), target, sizeof target - 1);
            if (n > 0 && device.compare(0, std::string::npos, target, static_cast<std::size_t>(n)) == 0)
                found = true;
        }
        closedir(dir);
    }
    return found;
}

long lineCount(const std::string &path)
{
    std::ifstream in(path);
    return std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
}

struct Copy {
    std::string profile;
    std::string device;   // its analyser's terminal
    pid_t pid = -1;
    double startMs = 0;   // exec to the port held
    double startCpuMs = 0;
};

// Starts the copy and waits until it holds its port; false if it ends or
// takes 60 s.
bool start(const std::string &program, const std::string &log, Copy &copy)
{
    const double t0 = seconds();
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Ends with the benchmark, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execl(program.c_str(), program.c_str(), "--profile", copy.profile.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    copy.pid = pid;
    while (seconds() - t0 < 60) {
        if (holds(pid, copy.device)) {
            copy.startMs = 1e3 * (seconds() - t0);
            copy.startCpuMs = bench::processorMs(pid);
            return true;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "%s ended before it opened its port; see %s\n", copy.profile.c_str(), log.c_str());
            return false;
        }
        const timespec pause{0, 1'000'000};
        nanosleep(&pause, nullptr);
    }
    std::fprintf(stderr, "%s did not open its port within 60 s\n", copy.profile.c_str());
    return false;
}

void end(Copy &copy, int signal)
{
    if (copy.pid > 0) {
        kill(copy.pid, signal);
        waitpid(copy.pid, nullptr, 0);
        copy.pid = -1;
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Starts the copy `starts` times, each but the last killed once its port
// is held, as a crash would end it: the next start resumes its run.
bool timeStarts(const std::string &program, const std::string &log, Copy &copy, int starts,
                std::vector<double> &ms, std::vector<double> &cpuMs)
{
    for (int i = 0; i < starts; ++i) {
        if (!start(program, log, copy))
            return false;
        ms.push_back(copy.startMs);
        cpuMs.push_back(copy.startCpuMs);
        if (i + 1 < starts)
            end(copy, SIGKILL);
    }
    return true;
}

void report(const char *what, const std::vector<double> &ms, const std::vector<double> &cpuMs)
{
    std::printf("%-34s median %7.1f ms (min %7.1f, max %7.1f)   processor time by then: median %6.1f ms\n", what,
                median(ms), *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
                median(cpuMs));
}

}  // namespace

int main(int argc, char **argv)
{
    const double settle = argc > 1 ? std::atof(argv[1]) : 60;
    const double window = argc > 2 ? std::atof(argv[2]) : 60;
    const int starts = argc > 3 ? std::atoi(argv[3]) : 5;
    if (argc > 4 || settle < 0 || window < 1 || starts < 1) {
        std::fprintf(stderr, "usage: bench_copies [SETTLE >= 0 [WINDOW >= 1 [STARTS >= 1]]]\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // One program folder, as an operator unpacks it: the program keeps
    // the profiles beside itself.
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    const support::TempDir root;
    const fs::path folder = fs::path(root.path()) / "program";
    fs::create_directories(folder);
    fs::copy_file(bin / "vandrel", folder / "vandrel");
    fs::copy_file(bin / "Vandrel_V3.uir", folder / "Vandrel_V3.uir");
    const std::string program = (folder / "vandrel").string();
    for (const char *var : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const fs::path dir = fs::path(root.path()) / var;
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::owner_all);
        setenv(var, dir.c_str(), 1);
    }

    support::MqttBroker broker(root.path());
    if (!broker.start()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    support::MqttSubscriber subscriber(broker, "vandrel", root.file("messages"));
    if (!subscriber.ready()) {
        std::fprintf(stderr, "the subscriber did not start\n");
        return 1;
    }

    std::vector<std::unique_ptr<support::SimulatedAnalyser>> analysers;
    std::vector<Copy> copies(4);
    for (int n = 1; n <= 4; ++n) {
        analysers.push_back(std::make_unique<support::SimulatedAnalyser>());
        setenv(("RTE_COM" + std::to_string(n)).c_str(), analysers.back()->linkPath().c_str(), 1);
        Copy &copy = copies[n - 1];
        copy.profile = "p" + std::to_string(n);
        copy.device = fs::canonical(analysers.back()->linkPath()).string();
        const fs::path settings = folder / "profiles" / copy.profile;
        fs::create_directories(settings);
        std::ofstream(settings / "vandrel.ini") << " " << n << " 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n";
        std::ofstream(settings / "vandrel-publish.ini")
            << "enabled=1\nhost=127.0.0.1\nport=" << broker.port() << "\n";
        std::ofstream(settings / "vandrel-resume.ini")
            << "resume=1\nrunning=1\nalive=" << std::time(nullptr) << "\nfile="
            << (folder / "recordings" / copy.profile / "run.dat").string() << "\n";
        fs::create_directories(folder / "recordings" / copy.profile);
    }
    const auto log = [&](const Copy &copy) { return root.file(copy.profile + ".log"); };

    // A start not counted: the program's files into the page cache.
    Copy warm{"warm", copies[0].device};
    if (!start(program, root.file("warm.log"), warm))
        return 1;
    end(warm, SIGKILL);

    std::vector<double> firstMs, firstCpu, fourthMs, fourthCpu, otherMs, otherCpu;
    if (!timeStarts(program, log(copies[0]), copies[0], starts, firstMs, firstCpu))
        return 1;
    for (int i : {1, 2}) {
        if (!start(program, log(copies[i]), copies[i]))
            return 1;
        otherMs.push_back(copies[i].startMs);
        otherCpu.push_back(copies[i].startCpuMs);
    }
    if (!timeStarts(program, log(copies[3]), copies[3], starts, fourthMs, fourthCpu))
        return 1;

    std::this_thread::sleep_for(std::chrono::duration<double>(settle));
    // The last start of each copy records to the newest run-N.dat.
    std::vector<std::string> recordings;
    for (const Copy &copy : copies) {
        std::string newest;
        for (const auto &entry : fs::directory_iterator(folder / "recordings" / copy.profile))
            if (entry.path().extension() == ".dat" &&
                (newest.empty() || fs::last_write_time(entry) > fs::last_write_time(newest)))
                newest = entry.path().string();
        recordings.push_back(newest);
    }
    const auto messages = [&] {
        std::map<std::string, long> count;
        for (const std::string &line : subscriber.lines())
            for (const Copy &copy : copies)
                if (line.find("/" + copy.profile + "/reading ") != std::string::npos)
                    ++count[copy.profile];
        return count;
    };
    std::vector<double> cpuBefore;
    std::vector<long> linesBefore;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        cpuBefore.push_back(processorSeconds(copies[i].pid));
        linesBefore.push_back(lineCount(recordings[i]));
    }
    const std::map<std::string, long> messagesBefore = messages();
    const double t0 = seconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(window));
    const double elapsed = seconds() - t0;
    const std::map<std::string, long> messagesAfter = messages();

    std::printf("four copies, a profile each, interval 1 s, recording and publishing to mosquitto (%s)\n",
                std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "xcb");
    std::printf("start-up, from the start of the process to its port held, %d starts each:\n", starts);
    report("  1st copy, alone", firstMs, firstCpu);
    report("  2nd and 3rd copies, once each", otherMs, otherCpu);
    report("  4th copy, beside three", fourthMs, fourthCpu);
    std::printf("  ratio of the medians, 4th / 1st: %.2fx, processor time %.2fx\n", median(fourthMs) / median(firstMs),
                median(fourthCpu) / median(firstCpu));
    std::printf("after %.0f s of all four, over %.1f s:\n", settle, elapsed);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const Copy &copy = copies[i];
        const double cpu = processorSeconds(copy.pid) - cpuBefore[i];
        std::printf("  %s  VmRSS %6.1f MB  Pss %6.1f MB  processor %5.2f %% of one core (%.2f s)  "
                    "readings recorded %ld, published %ld\n",
                    copy.profile.c_str(), statusMb(copy.pid, "status", "VmRSS:"),
                    statusMb(copy.pid, "smaps_rollup", "Pss:"), 100.0 * cpu / elapsed, cpu,
                    lineCount(recordings[i]) - linesBefore[i],
                    messagesAfter.count(copy.profile) ? messagesAfter.at(copy.profile) -
                        (messagesBefore.count(copy.profile) ? messagesBefore.at(copy.profile) : 0) : 0);
    }

    for (Copy &copy : copies)
        end(copy, SIGTERM);
    // A copy ended by a signal leaves Qt SerialPort's lock file behind.
    for (const auto &analyser : analysers) {
        std::string lock = "/var/lock/LCK.." + analyser->linkPath();
        std::replace(lock.begin() + 15, lock.end(), '/', '_');
        std::error_code ignored;
        fs::remove(lock, ignored);
    }
    return 0;
}
