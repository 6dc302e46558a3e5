#include "tools/serial_locks.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace support {
namespace {

namespace fs = std::filesystem;

// Where Qt SerialPort looks for a device's lock file, in its order.
const char *const kLockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

// The name of a device's lock file: its path below /dev, or its whole path,
// with each '/' as '_'.
std::string lockName(const std::string &path)
{
    std::string name = path.starts_with("/dev/") ? path.substr(5) : path;
    for (char &c : name)
        if (c == '/')
            c = '_';
    return "LCK.." + name;
}

}  // namespace

void removeSerialLocks(pid_t pid)
{
    const std::string holder = std::to_string(pid);
    for (const char *folder : kLockFolders) {
        std::error_code error;
        for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
            if (!it->path().filename().string().starts_with("LCK.."))
                continue;
            std::ifstream lock(it->path());
            std::string first;
            std::error_code ignored;
            if (std::getline(lock, first) && first == holder)
                fs::remove(it->path(), ignored);
        }
    }
}

std::string serialLock(const std::string &path)
{
    for (const char *folder : kLockFolders) {
        const fs::path lock = fs::path(folder) / lockName(path);
        std::error_code error;
        if (fs::exists(lock, error))
            return lock.string();
    }
    return "";
}

}  // namespace support
