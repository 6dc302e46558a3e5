// ReadLine and CountLinesLeft on a file of fuzzed bytes, each line read as
// an event line, as a stored recording's event file is read.
//
// The lines must be those that splitting the bytes at each LF gives (one CR
// before the LF belongs to the line end; a last line without one is a
// line), cut to the target with their whole length told, with the normal
// 256 KiB read buffer and with a small one (512 to 767 bytes, chosen by the
// input) alike.  After any number of lines read (also chosen by the input),
// CountLinesLeft gives the number of lines left and reads to the end.  An
// event line with a NUL byte or cut to its target is damaged.
#include "alarm/event_read.h"
#include "fuzz_check.h"
#include "fuzz_input_file.h"
#include "rte/format/files_internal.h"
#include "rte/formatio.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

using Lines = std::vector<std::pair<int, std::string>>;

// The lines as the bytes hold them, each with its length and what of it
// fits a target of `capacity` bytes.
Lines expected(const std::string &bytes, std::size_t capacity)
{
    Lines lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t lf = bytes.find('\n', start);
        std::size_t end = lf == std::string::npos ? bytes.size() : lf;
        if (lf != std::string::npos && end > start && bytes[end - 1] == '\r')
            --end;
        lines.emplace_back(static_cast<int>(end - start), bytes.substr(start, std::min(end - start, capacity - 1)));
        start = lf == std::string::npos ? bytes.size() : lf + 1;
    }
    return lines;
}

// Reads `first` lines, then counts those left; every line when `first` is
// the number of lines or more.
Lines read(const std::string &path, std::size_t first, long long &left)
{
    Lines lines;
    const int h = OpenFile(path.c_str(), kOpenRead, kOpenKeep, kOpenBinary);
    FUZZ_CHECK(h > 0);
    Guarded<64> line;
    for (int length; lines.size() < first && (length = ReadLine(h, line.text)) != kFileEnd;) {
        FUZZ_CHECK(length >= 0);
        const std::size_t kept = line.terminatedLength();
        FUZZ_CHECK(kept <= static_cast<std::size_t>(length));
        lines.emplace_back(length, std::string(line.text, std::min(static_cast<std::size_t>(length), sizeof line.text - 1)));

        EventLine e;
        const int kind = read_event_line(line.text, length, e);
        FUZZ_CHECK(kind == kEventLineDamaged || kind == kEventLineBlank || kind == kEventLineRead);
        if (kept != static_cast<std::size_t>(length))
            FUZZ_CHECK(kind == kEventLineDamaged);  // a NUL byte, or cut
    }
    left = CountLinesLeft(h);
    FUZZ_CHECK(ReadLine(h, line.text) == kFileEnd);
    FUZZ_CHECK(CountLinesLeft(h) == 0);
    CloseFile(h);
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::string file = "fuzz_lines_" + std::to_string(::getpid()) + ".events";
    const std::string &path = writeInputFile(file.c_str(), data, size);
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const Lines all = expected(bytes, 64);
    const std::size_t first = size > 1 ? data[1] % (all.size() + 2) : 0;

    for (const std::size_t buffer : {std::size_t{0}, 512 + static_cast<std::size_t>(size > 0 ? data[0] : 0)}) {
        rte::fmt::detail::setReadBufferSize(buffer);
        long long left = -1;
        const Lines lines = read(path, first, left);
        FUZZ_CHECK(lines.size() == std::min(first, all.size()));
        FUZZ_CHECK(std::equal(lines.begin(), lines.end(), all.begin()));
        FUZZ_CHECK(left == static_cast<long long>(all.size() - lines.size()));
    }
    rte::fmt::detail::setReadBufferSize(0);
    return 0;
}
