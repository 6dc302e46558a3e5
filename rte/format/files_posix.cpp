// The operating-system side of file handles on POSIX: open/read/write with
// EINTR handled, fdatasync for stable storage, rename for the atomic replace,
// mode 0600 for a file of this user's alone.
#include "rte/format/files_os.h"
#include "rte/formatio.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace rte::files::os {
namespace {

int errnoCode(int e)
{
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return kFileNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return kFileAccessDenied;
    case EMFILE:
    case ENFILE:
        return kFileTooManyOpen;
    default:
        return kFileIoError;
    }
}

bool writeAll(int fd, const char *p, std::size_t len)
{
    while (len > 0) {
        const ssize_t n = ::write(fd, p, len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)  // no progress and no error: give up rather than spin
            return false;
        p += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

// Where a regular file ended and where its offset stood before a write, so
// that a write that fails part-way can be taken back.  size is -1 for
// devices, which cannot be cut.
struct WriteMark {
    off_t size = -1;
    off_t offset = -1;
};

WriteMark markWrite(int fd)
{
    WriteMark mark;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        mark.size = st.st_size;
    mark.offset = ::lseek(fd, 0, SEEK_CUR);
    return mark;
}

// Cuts what the failed write appended and puts the offset back, so the next
// write neither continues a torn line nor leaves a hole before its own (and,
// should the cut fail, writes over the torn text).  Bytes it overwrote inside
// the file stay overwritten.
void undoWrite(int fd, const WriteMark &mark)
{
    struct stat st {};
    if (mark.size >= 0 && ::fstat(fd, &st) == 0 && st.st_size > mark.size) {
        int rc;
        do {
            rc = ::ftruncate(fd, mark.size);
        } while (rc != 0 && errno == EINTR);
    }
    if (mark.offset >= 0)
        ::lseek(fd, mark.offset, SEEK_SET);
}

}  // namespace

int open(const char *path, int mode, int action)
{
    // O_NONBLOCK keeps the open of a pipe from waiting for its other end; it
    // is cleared again for the files that are accepted.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= mode == kOpenReadWrite ? O_RDWR : mode == kOpenRead ? O_RDONLY : O_WRONLY;
    if (mode != kOpenRead) {
        flags |= O_CREAT;
        if (action == kOpenTruncate)
            flags |= O_TRUNC;
        else if (action == kOpenAppend)
            flags |= O_APPEND;
    }
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errnoCode(errno);

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return errnoCode(e);
    }
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISBLK(st.st_mode)) {
        ::close(fd);  // a directory, a pipe, a socket
        return kFileAccessDenied;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl != -1)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

int close(int fd)
{
    // Never retried: the descriptor is gone either way.
    return ::close(fd) == 0 || errno == EINTR ? 0 : kFileIoError;
}

std::size_t readSome(int fd, char *buf, std::size_t len)
{
    while (true) {
        const ssize_t n = ::read(fd, buf, len);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return 0;
    }
}

void unread(int fd, std::size_t bytes)
{
    ::lseek(fd, -static_cast<off_t>(bytes), SEEK_CUR);
}

bool writeStored(int fd, const char *bytes, std::size_t len)
{
    const WriteMark mark = markWrite(fd);
    // Devices without stable storage (/dev/null, a tty) answer EINVAL.
    const bool stored = writeAll(fd, bytes, len) && (::fdatasync(fd) == 0 || errno == EINVAL || errno == EROFS);
    if (!stored)
        undoWrite(fd, mark);
    return stored;
}

void appendText(std::string &out, const char *text, std::size_t len)
{
    out.append(text, len);
}

int fileInfo(const char *path, long long &size)
{
    struct stat st {};
    if (::stat(path, &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return 0;
        return errnoCode(errno);
    }
    if (S_ISDIR(st.st_mode))
        return 0;
    size = static_cast<long long>(st.st_size);
    return 1;
}

int rename(const char *from, const char *to)
{
    return ::rename(from, to) == 0 ? 0 : errnoCode(errno);
}

int remove(const char *path)
{
    return ::unlink(path) == 0 || errno == ENOENT ? 0 : errnoCode(errno);
}

int createPrivate(const char *path)
{
    if (::unlink(path) != 0 && errno != ENOENT)
        return errnoCode(errno);
    // Made here, or not at all: never a file someone else put under the
    // name meanwhile, nor one a link leads to (O_EXCL follows no link).
    int fd;
    do {
        fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd >= 0 ? fd : errnoCode(errno);
}

int makePrivate(const char *path)
{
    return ::chmod(path, 0600) == 0 ? 0 : errnoCode(errno);
}

int lockFile(const char *path, bool &held)
{
    held = false;
    int fd;
    do {
        fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errnoCode(errno);
    // flock, not fcntl: a lock of the open file, which no other descriptor
    // of the same file in this process gives up by being closed.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int e = errno;
        ::close(fd);
        held = e == EWOULDBLOCK;
        return held ? kFileAccessDenied : errnoCode(e);
    }
    return fd;
}

void unlockFile(int fd)
{
    ::close(fd);
}

}  // namespace rte::files::os
