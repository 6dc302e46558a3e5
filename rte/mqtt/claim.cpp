#include "rte/mqtt/claim.h"

#include "rte/format/files_os.h"
#include "rte/mqtt/outbox_os.h"

namespace rte::outbox {

int Claim::lockNamed(bool &held)
{
    // A name deleted and made again between the open and the lock leaves
    // a lock on a file that nobody else will ever open: tried again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = files::os::lockFile(lockPath_.c_str(), held);
        if (fd < 0)
            return fd;
        const os::FileId locked = os::fileIdOf(fd);
        if (locked.known && locked == os::fileId(lockPath_))
            return fd;
        files::os::unlockFile(fd);
    }
    held = false;
    return -1;
}

bool Claim::take(const std::string &outboxPath, bool &held)
{
    std::lock_guard guard(mutex_);
    held = false;
    lockPath_ = outboxPath + ".lock";
    lock_ = lockNamed(held);
    if (lock_ < 0)
        return false;
    system_ = os::claimPath(outboxPath, held);
    if (system_ >= 0)
        return true;
    files::os::unlockFile(lock_);
    lock_ = -1;
    return false;
}

void Claim::keep()
{
    std::lock_guard guard(mutex_);
    if (lock_ < 0)
        return;
    const os::FileId locked = os::fileIdOf(lock_);
    if (locked.known && locked == os::fileId(lockPath_))
        return;
    // Until the new one is locked the old lock stays: it still keeps out
    // a program that opened the old file before its name went.
    bool held = false;
    const int fd = lockNamed(held);
    if (fd < 0)
        return;
    files::os::unlockFile(lock_);
    lock_ = fd;
}

void Claim::release()
{
    std::lock_guard guard(mutex_);
    if (lock_ >= 0)
        files::os::unlockFile(lock_);
    lock_ = -1;
    os::releasePath(system_);
    system_ = -1;
}

}  // namespace rte::outbox
