// Private to the engine: the outbox's claim, which keeps a second program
// from storing into or sending from the outbox this one has open.  It is
// two locks, and a program must get both:
//
// - the lock file beside the outbox (`<path>.lock`), locked once it is
//   certain that the file locked is the one at that name (another program
//   may delete the name between the open and the lock), and locked anew
//   whenever the name is deleted or replaced while the outbox is open;
// - a claim of the system's on the outbox's path (outbox_os.h), which no
//   deleted file breaks, for the moment until the lock file is locked
//   again, and for a folder deleted with both files in it.
//
// The user-interface thread takes and releases it; the sender keeps the
// lock file once a second, as long as it is not released.
#pragma once

#include <mutex>
#include <string>

namespace rte::outbox {

class Claim {
public:
    Claim() = default;
    ~Claim() { release(); }
    Claim(const Claim &) = delete;
    Claim &operator=(const Claim &) = delete;

    // True when both are this program's; otherwise `held` tells whether
    // another program has either.
    bool take(const std::string &outboxPath, bool &held);
    // Locks the lock file anew when the one locked no longer has its name.
    void keep();
    void release();

private:
    int lockNamed(bool &held);

    std::mutex mutex_;
    std::string lockPath_;
    int lock_ = -1;
    long long system_ = -1;
};

}  // namespace rte::outbox
