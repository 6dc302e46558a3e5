#include "summary/csv_export.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "rte/formatio.h"
#include "summary/clock_text.h"

namespace {

// Rows go to the file a few megabytes at a time: each write reaches the
// disk before it returns, which a write per row would pay for 50 million
// times in a recording of a gigabyte.
constexpr std::size_t kChunk = 4 << 20;

struct Chunks {
    int file;
    std::unique_ptr<char[]> text{new char[kChunk + 1]};
    std::size_t used = 0;
    int failed = 0;

    void flush()
    {
        if (used == 0 || failed != 0)
            return;
        text[used] = '\0';
        const int result = FmtFile(file, "%s", text.get());
        if (result < 0)
            failed = result;
        used = 0;
    }
    template <std::size_t N>
    void add(const char (&row)[N])
    {
        const std::size_t length = std::strlen(row);
        if (used + length > kChunk)
            flush();
        std::memcpy(text.get() + used, row, length);
        used += length;
    }
};

}  // namespace

CsvExport export_csv(const RunFacts &facts, const char *out)
{
    CsvExport result = {{1, 0}, 0, 0};
    char fresh[kPathSize];
    if (std::strlen(out) + 5 >= kPathSize) {
        result.written = kFileBadArgument;
        return result;
    }
    Fmt(fresh, "%s.part", out);
    // Binary: the line ends are CR LF on every system, as RFC 4180 has them.
    Chunks chunks{OpenFile(fresh, kOpenWrite, kOpenTruncate, kOpenBinary)};
    if (chunks.file <= 0) {
        result.written = chunks.file;
        return result;
    }
    const char *unit = unit_of(facts.quantity);
    const bool timed = std::isfinite(facts.start);
    char row[128], when[40];
    Fmt(row, "%selapsed_s,value,unit\r\n", timed ? "time," : "");
    chunks.add(row);
    result.end = read_recording(facts.recording, [&](double t, double v) {
        if (timed) {
            local_time_text(facts.start + t, facts.offset, when);
            Fmt(row, "%s,%f[r],%f[r],%s\r\n", when, t, v, unit);
        } else {
            Fmt(row, "%f[r],%f[r],%s\r\n", t, v, unit);
        }
        chunks.add(row);
        ++result.rows;
    });
    chunks.flush();
    const int closed = CloseFile(chunks.file);
    result.written = chunks.failed != 0 ? chunks.failed : closed;
    if (result.end.opened <= 0)
        result.written = result.end.opened;
    if (result.written == 0)
        result.written = RenameFile(fresh, out);
    if (result.written != 0)
        RemoveFile(fresh);
    return result;
}
