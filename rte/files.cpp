// File handles and the file front ends of the format language: OpenFile,
// CloseFile, GetFileInfo, FmtFile, ScanFile.  POSIX open/read/write.
//
// Handles: a table of slots; a handle encodes its slot and a generation that
// changes on every reuse of the slot, so a closed handle stays invalid
// (kFileBadArgument) instead of reaching a file opened later.  Like the rest
// of the engine, these calls are made from the user-interface thread only and
// are not locked.
//
// Writing: FmtFile formats the whole text into the handle's write buffer,
// hands it to the operating system with write(2) (looping on short writes and
// EINTR) and then calls fdatasync, so a line is on stable storage when the
// call returns.  When either fails, the file is cut back to its length
// before the call: no torn line is left behind.
//
// Reading: each handle has a read buffer of kReadBuffer bytes, allocated at
// its first ScanFile.  Numbers are parsed straight from the buffer; a token
// that may cross the buffer end is read again after the buffer is refilled
// (the unread bytes move to its start).  A token that fills the whole buffer
// is not read.  The position in the buffer is kept between calls: each
// ScanFile goes on where the previous one stopped.  Formats made only of %d
// and %f (the viewer's "%f %f", the settings line) take a compiled path,
// kept in a small cache keyed by the format's text; the others go through
// the general scanner.  A read error ends the input like the end of the file.
#include "rte/formatio.h"
#include "rte/files_internal.h"
#include "rte/format_internal.h"

#include <array>
#include <cerrno>
#include <climits>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

using rte::fmt::Arg;

constexpr std::size_t kMaxFiles = 1024;
constexpr std::size_t kReadBuffer = 256 * 1024;
std::size_t g_readBuffer = kReadBuffer;  // for handles opened from now on (tests shrink it)

struct FileState {
    int fd = -1;
    int handle = 0;
    bool canRead = false;
    bool canWrite = false;
    bool text = false;
    // Read buffer: bytes [pos, end) are read from the file but not scanned.
    std::unique_ptr<char[]> rbuf;
    std::size_t rcap = kReadBuffer;
    std::size_t pos = 0;
    std::size_t end = 0;
    // Write buffer, reused from call to call.
    std::string wbuf;
};

std::array<std::unique_ptr<FileState>, kMaxFiles> g_slots;
std::array<unsigned, kMaxFiles> g_generation{};

FileState *lookup(int handle)
{
    if (handle <= 0)
        return nullptr;
    const std::size_t slot = static_cast<std::size_t>(handle - 1) % kMaxFiles;
    FileState *f = g_slots[slot].get();
    return f && f->handle == handle ? f : nullptr;
}

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

// Reads into buf until it has some bytes, the end of the file or an error.
// Returns the count, 0 at the end of the file and on errors (a read error
// ends the input like the end of the file does).
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

// Brings more bytes into the read buffer, keeping [cur, end): moves them to
// the start and reads behind them.  Cold: once per buffer.  Takes and returns
// plain values, so the scanning loop keeps its pointers in registers.
struct Refill {
    const char *cur;
    const char *end;
    bool added;  // new bytes came
    bool eof;    // the file has no more
};

[[gnu::noinline]] Refill refill(FileState &f, const char *cur, const char *end)
{
    char *base = f.rbuf.get();
    const std::size_t keep = end > cur ? static_cast<std::size_t>(end - cur) : 0;
    if (cur != base && keep > 0 && keep <= f.rcap)
        std::memmove(base, cur, keep);
    Refill r{base, base + keep, false, false};
    if (keep >= f.rcap)
        return r;  // full: a token as long as the buffer
    const std::size_t n = readSome(f.fd, base + keep, f.rcap - keep);
    if (n == 0) {
        r.eof = true;
        return r;
    }
    r.end += n;
    r.added = true;
    return r;
}

// The source for ScanFile: a window on the handle's read buffer.
struct FileSource {
    FileState *f;
    const char *cur;
    const char *end;
    bool eof = false;  // the file gave no more bytes during this call

    explicit FileSource(FileState &file)
        : f(&file), cur(file.rbuf.get() + file.pos), end(file.rbuf.get() + file.end)
    {
    }

    bool more()
    {
        const Refill r = refill(*f, cur, end);
        cur = r.cur;
        end = r.end;
        eof = r.eof;
        return r.added;
    }

    void commit()
    {
        f->pos = static_cast<std::size_t>(cur - f->rbuf.get());
        f->end = static_cast<std::size_t>(end - f->rbuf.get());
    }
};

// Collects the text of one FmtFile call.
struct StringSink {
    std::string &s;
    bool text;
    void put(const char *p, std::size_t len)
    {
#ifdef _WIN32
        if (text) {
            for (std::size_t k = 0; k < len; ++k) {
                if (p[k] == '\n')
                    s.push_back('\r');
                s.push_back(p[k]);
            }
            return;
        }
#endif
        s.append(p, len);
    }
    void fill(char c, std::size_t len) { s.append(len, c); }
};

// The compiled numeric formats, most recent first in use order of slots.
constexpr std::size_t kFormatCache = 4;
std::array<rte::fmt::detail::NumericFormat, kFormatCache> g_formats;
std::size_t g_nextFormat = 0;

const rte::fmt::detail::NumericFormat *numericFormat(std::string_view fmt)
{
    for (const auto &nf : g_formats)
        if (nf.matches(fmt))
            return &nf;
    rte::fmt::detail::NumericFormat compiled;
    if (!compiled.compile(fmt))
        return nullptr;
    auto &slot = g_formats[g_nextFormat];
    slot = compiled;
    g_nextFormat = (g_nextFormat + 1) % kFormatCache;
    return &slot;
}

// Every format that is not plainly numeric.  Apart from the hot path so that
// its size does not weigh on it.
[[gnu::noinline]] int scanGeneral(FileState &f, std::string_view fmt,
                                  std::span<const Arg> targets)
{
    FileSource s(f);
    const int count = rte::fmt::detail::scanCore(s, fmt, targets);
    s.commit();
    return count;
}

}  // namespace

namespace rte::fmt {

namespace detail {

static_assert(kReadBuffer >= 4 * static_cast<std::size_t>(kGuard));

void setReadBufferSize(std::size_t bytes)
{
    // Not below four times the look-ahead that a number needs (kGuard).
    const std::size_t least = 4 * static_cast<std::size_t>(kGuard);
    g_readBuffer = bytes == 0 ? kReadBuffer : bytes < least ? least : bytes;
}

}  // namespace detail

int formatFile(int handle, std::string_view fmt, std::span<const Arg> args)
{
    FileState *f = lookup(handle);
    if (!f || !f->canWrite)
        return kFileBadArgument;
    f->wbuf.clear();
    StringSink sink{f->wbuf, f->text};
    const int count = detail::formatCore(sink, fmt, args);
    if (f->end > f->pos) {
        // Bytes read ahead but not scanned: the write belongs where the scan
        // stopped, not where the read-ahead left the file offset.
        ::lseek(f->fd, -static_cast<off_t>(f->end - f->pos), SEEK_CUR);
    }
    f->pos = f->end = 0;
    if (!f->wbuf.empty()) {
        // The text goes in whole or not at all: a write that stops part-way
        // (disk full, file-size limit) or does not reach stable storage is
        // taken back, so the file never holds a torn line.
        const WriteMark mark = markWrite(f->fd);
        // Devices without stable storage (/dev/null, a tty) answer EINVAL.
        const bool stored = writeAll(f->fd, f->wbuf.data(), f->wbuf.size()) &&
                            (::fdatasync(f->fd) == 0 || errno == EINVAL || errno == EROFS);
        if (!stored) {
            undoWrite(f->fd, mark);
            return kFileWriteError;
        }
    }
    if (f->wbuf.capacity() > 64 * 1024)
        std::string().swap(f->wbuf);
    return count;
}

int scanFile(int handle, std::string_view fmt, std::span<const Arg> targets)
{
    FileState *f = lookup(handle);
    if (!f || !f->canRead)
        return kFileBadArgument;
    if (!f->rbuf) {
        f->rbuf.reset(new char[f->rcap]);
        f->pos = f->end = 0;
    }
    if (const detail::NumericFormat *nf = numericFormat(fmt)) {
        FileSource s(*f);
        const int count = nf->run(s, targets);
        if (count >= 0) {
            s.commit();
            return count;
        }
        // Declined before reading anything: the general path reports the fault.
    }
    return scanGeneral(*f, fmt, targets);
}

}  // namespace rte::fmt

int OpenFile(const char *path, int mode, int action, int type)
{
    if (!path || mode < 0 || mode > 2 || action < 0 || action > 2 || type < 0 || type > 1)
        return kFileBadArgument;
    std::size_t slot = 0;
    while (slot < kMaxFiles && g_slots[slot])
        ++slot;
    if (slot == kMaxFiles)
        return kFileTooManyOpen;

    const bool canRead = mode != 2;
    const bool canWrite = mode != 1;
    // O_NONBLOCK keeps the open of a pipe from waiting for its other end; it
    // is cleared again for the files that are accepted.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= mode == 0 ? O_RDWR : mode == 1 ? O_RDONLY : O_WRONLY;
    if (canWrite) {
        flags |= O_CREAT;
        if (action == 0)
            flags |= O_TRUNC;
        else if (action == 1)
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

    auto f = std::make_unique<FileState>();
    f->fd = fd;
    f->canRead = canRead;
    f->canWrite = canWrite;
    f->text = type == 1;
    f->rcap = g_readBuffer;
    unsigned gen = ++g_generation[slot];
    long long h = static_cast<long long>(gen) * kMaxFiles + slot + 1;
    if (h > INT_MAX) {
        g_generation[slot] = gen = 0;
        h = static_cast<long long>(slot) + 1;
    }
    f->handle = static_cast<int>(h);
    g_slots[slot] = std::move(f);
    return static_cast<int>(h);
}

int CloseFile(int handle)
{
    FileState *f = lookup(handle);
    if (!f)
        return kFileBadArgument;
    const std::size_t slot = static_cast<std::size_t>(handle - 1) % kMaxFiles;
    const int rc = ::close(f->fd);  // never retried: the descriptor is gone either way
    g_slots[slot].reset();
    return rc == 0 || errno == EINTR ? 0 : kFileIoError;
}

int GetFileInfo(const char *path, long long &size)
{
    size = 0;
    if (!path)
        return kFileBadArgument;
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

int RenameFile(const char *from, const char *to)
{
    if (!from || !to)
        return kFileBadArgument;
    return ::rename(from, to) == 0 ? 0 : errnoCode(errno);
}
