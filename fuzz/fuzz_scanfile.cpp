// ScanFile on a file of fuzzed bytes.
//
// The file is read with "%f %f" until a read yields fewer than 2 (as the log
// viewer does), with "%s" word by word, and once with the settings format;
// each twice: with the normal 256 KiB read buffer and with a small one
// (512 to 767 bytes, chosen by the input), so that the buffer's edges fall
// everywhere in small files.  Both must give the same results, as long as no
// token comes near the small buffer's size.  Text without NUL bytes must
// read as Scan reads it.  Every loop must end.
#include "fuzz_check.h"
#include "fuzz_input_file.h"
#include "rte/format/files_internal.h"
#include "rte/formatio.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct Read {
    int count;
    double a, b;
    bool operator==(const Read &o) const
    {
        return count == o.count && std::memcmp(&a, &o.a, sizeof a) == 0 &&
               std::memcmp(&b, &o.b, sizeof b) == 0;
    }
};

std::vector<Read> pairs(const std::string &path, std::size_t size)
{
    std::vector<Read> out;
    const int h = OpenFile(path.c_str(), 1, 2, 1);
    FUZZ_CHECK(h > 0);
    while (true) {
        Read r{0, -1, -1};
        r.count = ScanFile(h, "%f %f", r.a, r.b);
        out.push_back(r);
        if (r.count < 2)
            break;
        FUZZ_CHECK(out.size() <= size + 1);  // each pair takes bytes
    }
    CloseFile(h);
    return out;
}

std::vector<std::string> words(const std::string &path, std::size_t size)
{
    std::vector<std::string> out;
    const int h = OpenFile(path.c_str(), 1, 2, 0);
    FUZZ_CHECK(h > 0);
    char word[6];
    while (ScanFile(h, "%s", word) == 1) {
        FUZZ_CHECK(std::memchr(word, '\0', sizeof word) != nullptr);
        out.emplace_back(word);
        FUZZ_CHECK(out.size() <= size);
    }
    CloseFile(h);
    return out;
}

struct Settings {
    int count;
    int i[4];
    double d[3];
    bool operator==(const Settings &o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
};

Settings settingsFrom(int h)
{
    Settings s;
    std::memset(&s, 0, sizeof s);
    s.count = ScanFile(h, "%s>%d%f%d%d%d%f%f", s.i[0], s.d[0], s.i[1], s.i[2], s.i[3], s.d[1],
                       s.d[2]);
    return s;
}

Settings settings(const std::string &path)
{
    const int h = OpenFile(path.c_str(), 1, 0, 1);
    FUZZ_CHECK(h > 0);
    const Settings s = settingsFrom(h);
    CloseFile(h);
    FUZZ_CHECK(s.count >= 0 && s.count <= 7);
    return s;
}

std::size_t longestToken(const std::uint8_t *data, std::size_t size)
{
    std::size_t longest = 0, run = 0;
    for (std::size_t k = 0; k < size; ++k) {
        const unsigned char c = data[k];
        const bool space = c == ' ' || (c >= '\t' && c <= '\r');
        run = space ? 0 : run + 1;
        if (run > longest)
            longest = run;
    }
    return longest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::string file = "fuzz_scanfile_" + std::to_string(::getpid()) + ".dat";
    const std::string &path = writeInputFile(file.c_str(), data, size);

    rte::fmt::detail::setReadBufferSize(0);
    const std::vector<Read> big = pairs(path, size);
    const std::vector<std::string> bigWords = words(path, size);
    const Settings bigSettings = settings(path);

    const std::size_t small = 512 + (size > 0 ? data[0] : 0);
    rte::fmt::detail::setReadBufferSize(small);
    const std::vector<Read> little = pairs(path, size);
    const std::vector<std::string> littleWords = words(path, size);
    const Settings littleSettings = settings(path);
    rte::fmt::detail::setReadBufferSize(0);

    FUZZ_CHECK(bigWords == littleWords);  // words have no length limit
    if (longestToken(data, size) + 130 < small) {
        FUZZ_CHECK(big == little);
        FUZZ_CHECK(bigSettings == littleSettings);
    }

    // Without NUL bytes the file is the text that Scan reads.
    if (std::memchr(data, 0, size) == nullptr) {
        const std::string text(reinterpret_cast<const char *>(data), size);
        Read r{0, -1, -1};
        r.count = Scan(text.c_str(), "%f %f", r.a, r.b);
        FUZZ_CHECK(r == big.front());
        Settings s;
        std::memset(&s, 0, sizeof s);
        s.count = Scan(text.c_str(), "%s>%d%f%d%d%d%f%f", s.i[0], s.d[0], s.i[1], s.i[2], s.i[3],
                       s.d[1], s.d[2]);
        FUZZ_CHECK(s == bigSettings);
    }
    return 0;
}
