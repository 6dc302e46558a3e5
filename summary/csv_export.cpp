#include "summary/csv_export.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

#include "rte/formatio.h"
#include "summary/clock_text.h"

namespace {

// Rows go to the file a few megabytes at a time: each write reaches the
// disk before it returns, which a write per row would pay for 50 million
// times in a recording of a gigabyte.
constexpr std::size_t kChunk = 4 << 20;
// More than any row takes: a time, two numbers of at most 24 bytes, a unit.
constexpr std::size_t kRowMost = 128;

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
    // Each row is put together in place, without a copy.
    void row_begins()
    {
        if (used + kRowMost > kChunk)
            flush();
    }
    // The row's fixed texts have their lengths known where they are named.
    void put(std::string_view bytes)
    {
        std::memcpy(text.get() + used, bytes.data(), bytes.size());
        used += bytes.size();
    }
    // As %f[r] writes it, std::to_chars's shortest text that reads back as
    // the same double, without the format's reading per number, which
    // costs a gigabyte's export more than its reading.
    void number(double value)
    {
        if (std::isnan(value)) {
            put("nan");
            return;
        }
        used = static_cast<std::size_t>(std::to_chars(text.get() + used, text.get() + kChunk, value).ptr - text.get());
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
    const std::string_view unit = unit_of(facts.quantity);
    const bool timed = std::isfinite(facts.start);
    char when[40];
    chunks.put(timed ? "time,elapsed_s,value,unit\r\n" : "elapsed_s,value,unit\r\n");
    result.end = read_recording(facts.recording, [&](double t, double v) {
        chunks.row_begins();
        if (timed) {
            local_time_text(facts.start + t, facts.offset, when);
            chunks.put(when);
            chunks.put(",");
        }
        chunks.number(t);
        chunks.put(",");
        chunks.number(v);
        chunks.put(",");
        chunks.put(unit);
        chunks.put("\r\n");
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
