// The file front ends of the format language: FmtFile and ScanFile on the
// handles of files_handles.h, and the lines of ReadLine and CountLinesLeft.
//
// Writing: FmtFile formats the whole text into the handle's write buffer and
// hands it to the operating system to be stored whole (files_os.h), so a
// line is on stable storage when the call returns and no torn line is left
// behind when that fails.
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
//
// Passing over reads: ScanFileSkip with a format of only %f conversions
// recognises the records those reads would take (records.h) in the
// buffer and moves past them without converting a number; what it does not
// recognise, and the last bytes of the file, go through the compiled path as
// ScanFile reads them.  Only the last record passed over is converted, into
// the targets.
#include "rte/format/files_handles.h"
#include "rte/format/files_os.h"
#include "rte/format/internal.h"
#include "rte/format/records.h"
#include "rte/formatio.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <string>

namespace {

using rte::fmt::Arg;
using rte::files::FileState;

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
    const std::size_t n = rte::files::os::readSome(f.fd, base + keep, f.rcap - keep);
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

// The LF bytes in [p, end), sixteen at a time: each lane counts its own in
// a byte, summed before it could wrap.
std::size_t countLineEnds(const char *p, const char *end)
{
    using Bytes = unsigned char __attribute__((vector_size(16)));
    constexpr std::size_t kMostRounds = 255;
    std::size_t count = 0;
    while (static_cast<std::size_t>(end - p) >= sizeof(Bytes)) {
        const std::size_t rounds = std::min(static_cast<std::size_t>(end - p) / sizeof(Bytes), kMostRounds);
        Bytes lanes{};
        for (std::size_t r = 0; r < rounds; ++r, p += sizeof(Bytes)) {
            Bytes x;
            std::memcpy(&x, p, sizeof x);
            lanes -= (Bytes)(x == '\n');  // a match is all ones, 255: taking it away adds one
        }
        for (std::size_t i = 0; i < sizeof(Bytes); ++i)
            count += lanes[i];
    }
    for (; p != end; ++p)
        count += *p == '\n';
    return count;
}

// Collects the text of one FmtFile call.
struct StringSink {
    std::string &s;
    bool text;
    void put(const char *p, std::size_t len)
    {
        if (text)
            rte::files::os::appendText(s, p, len);
        else
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

// The open file behind a handle that may be read, with its read buffer;
// nullptr for any other handle.
FileState *readable(int handle)
{
    FileState *f = rte::files::lookup(handle);
    if (!f || !f->canRead)
        return nullptr;
    if (!f->rbuf) {
        f->rbuf.reset(new char[f->rcap]);
        f->pos = f->end = 0;
    }
    return f;
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

int formatFile(int handle, std::string_view fmt, std::span<const Arg> args)
{
    FileState *f = rte::files::lookup(handle);
    if (!f || !f->canWrite)
        return kFileBadArgument;
    f->wbuf.clear();
    StringSink sink{f->wbuf, f->text};
    const int count = detail::formatCore(sink, fmt, args);
    if (f->end > f->pos) {
        // Bytes read ahead but not scanned: the write belongs where the scan
        // stopped, not where the read-ahead left the file offset.
        rte::files::os::unread(f->fd, f->end - f->pos);
    }
    f->pos = f->end = 0;
    if (!f->wbuf.empty()) {
        // The text goes in whole or not at all: a write that stops part-way
        // (disk full, file-size limit) or does not reach stable storage is
        // taken back, so the file never holds a torn line.
        if (!rte::files::os::writeStored(f->fd, f->wbuf.data(), f->wbuf.size()))
            return kFileWriteError;
    }
    if (f->wbuf.capacity() > 64 * 1024)
        std::string().swap(f->wbuf);
    return count;
}

int scanFile(int handle, std::string_view fmt, std::span<const Arg> targets)
{
    FileState *f = readable(handle);
    if (!f)
        return kFileBadArgument;
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

int skipFile(int handle, long long count, std::string_view fmt, std::span<const Arg> targets)
{
    FileState *f = readable(handle);
    if (!f)
        return kFileBadArgument;
    const detail::NumericFormat *nf = numericFormat(fmt);
    if (!nf || !nf->fits(targets)) {
        // A read that stops part-way may still have moved on ("%s %d" on
        // "a b c"), so every read is made.
        int last = 0;
        for (long long k = 0; k < count; ++k)
            last = scanFile(handle, fmt, targets);
        return last;
    }
    const int whole = static_cast<int>(nf->count);
    std::optional<detail::NumberRecords> records;
    if (nf->allDouble && !nf->trailingSpace)
        records.emplace(nf->count);
    FileSource s(*f);
    // The last record passed over without converting it: its numbers are
    // converted into the targets before its bytes move or another read
    // writes them, and at the end, so that the targets hold what the reads
    // would have left in them.
    const char *passed = nullptr;
    const char *passedEnd = nullptr;
    const auto settle = [&] {
        if (passed)
            scan(std::string_view(passed, static_cast<std::size_t>(passedEnd - passed)), fmt, targets);
        passed = nullptr;
    };
    int last = 0;
    long long done = 0;
    while (done < count) {
        if (records) {
            const char *p = s.cur;
            while (done < count) {
                const std::size_t length = records->pass(p, s.end);
                if (length == 0)
                    break;
                passed = p;
                p += length;
                ++done;
            }
            if (p != s.cur) {
                passedEnd = s.cur = p;
                last = whole;
            }
            if (done == count)
                break;
            if (s.end - s.cur < static_cast<std::ptrdiff_t>(detail::NumberRecords::kWindow) && !s.eof) {
                settle();
                if (s.more())
                    continue;
            }
        }
        settle();
        last = nf->run(s, targets);
        ++done;
        if (last < whole) {
            // Each read after it would stop at the same byte and fill nothing.
            if (done < count)
                last = 0;
            break;
        }
    }
    settle();
    s.commit();
    return last;
}

// Finds each line end with memchr and copies what fits, so that a line of
// any length passes at the speed of memory.  The byte before the LF tells
// whether a CR belongs to the line end.
int readLine(int handle, char *line, std::size_t capacity)
{
    FileState *f = readable(handle);
    if (!f)
        return kFileBadArgument;
    FileSource s(*f);
    std::size_t length = 0;
    bool any = false, ended = false;
    char last = '\0';
    while (s.cur != s.end || s.more()) {
        any = true;
        const auto *lf = static_cast<const char *>(std::memchr(s.cur, '\n', static_cast<std::size_t>(s.end - s.cur)));
        const char *stop = lf ? lf : s.end;
        const auto bytes = static_cast<std::size_t>(stop - s.cur);
        if (length < capacity - 1)
            std::memcpy(line + length, s.cur, std::min(bytes, capacity - 1 - length));
        if (bytes > 0)
            last = stop[-1];
        length += bytes;
        s.cur = lf ? lf + 1 : s.end;
        if (lf) {
            ended = true;
            break;
        }
    }
    s.commit();
    if (!any) {
        line[0] = '\0';
        return kFileEnd;
    }
    // The CR of a CR LF belongs to the line end; one at the very end of the
    // file is a byte of the line.
    if (ended && last == '\r')
        --length;
    line[std::min(length, capacity - 1)] = '\0';
    return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

long long countLinesLeft(int handle)
{
    FileState *f = readable(handle);
    if (!f)
        return kFileBadArgument;
    FileSource s(*f);
    long long lines = 0;
    bool open = false;  // bytes after the last line end
    while (s.cur != s.end || s.more()) {
        lines += static_cast<long long>(countLineEnds(s.cur, s.end));
        open = s.end[-1] != '\n';
        s.cur = s.end;
    }
    s.commit();
    return lines + (open ? 1 : 0);
}

}  // namespace rte::fmt
