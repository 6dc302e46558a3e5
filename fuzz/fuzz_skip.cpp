// ScanFileSkip on a file of fuzzed bytes, against the ScanFile calls it
// stands for.
//
// The first byte picks the thinning step (1 to 32), the second the read
// buffer (the normal one, or 512 to 767 bytes so that its edges fall
// everywhere in small files); the rest is the file.  The file is thinned as
// the stored-file view does, once making every read and once passing over
// the reads before the last of each point: the same points, bit for bit, the
// same count and the same permission of a logarithmic axis.  Then it is read
// in bursts to its end on two handles, one passing over, one making every
// read, with a byte read on both after each burst: the same result, targets
// and next byte every time.
#include "fuzz_check.h"
#include "rte/format/files_internal.h"
#include "rte/formatio.h"
#include "tests/format/thinning.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string tempPath()
{
    const char *dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_skip_" + std::to_string(::getpid()) +
           ".dat";
}

using thinning::Read;

thinning::View view(const std::string &path, long long step, bool skip)
{
    const int h = OpenFile(path.c_str(), kOpenRead, kOpenKeep, kOpenText);
    FUZZ_CHECK(h > 0);
    const thinning::View out = thinning::view(h, step, skip);
    CloseFile(h);
    return out;
}

void bursts(const std::string &path, long long step, std::size_t size)
{
    const int fast = OpenFile(path.c_str(), kOpenRead, kOpenKeep, kOpenText);
    const int exact = OpenFile(path.c_str(), kOpenRead, kOpenKeep, kOpenText);
    FUZZ_CHECK(fast > 0 && exact > 0);
    const long long lengths[] = {step, 1, 0, 3 * step, 2};
    for (std::size_t b = 0;; ++b) {
        const long long n = lengths[b % std::size(lengths)];
        Read f{-9, -1.0, -2.0}, e{-9, -1.0, -2.0};
        f.result = ScanFileSkip(fast, n, "%f %f", f.t, f.v);
        e.result = 0;
        for (long long k = 0; k < n; ++k)
            e.result = ScanFile(exact, "%f %f", e.t, e.v);
        FUZZ_CHECK(f == e);
        int fc = -1, ec = -1;
        const int got = ScanFile(exact, "%c", ec);
        FUZZ_CHECK(ScanFile(fast, "%c", fc) == got);
        FUZZ_CHECK(fc == ec);
        if (got == 0)
            break;
        FUZZ_CHECK(b <= size);  // each burst's byte takes one of the file
    }
    CloseFile(fast);
    CloseFile(exact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::string path = [] {
        std::atexit([] { ::unlink(tempPath().c_str()); });
        return tempPath();
    }();
    if (size < 2)
        return 0;
    const long long step = 1 + data[0] % 32;
    const std::size_t buffer = data[1] % 2 == 0 ? 0 : 512 + data[1];
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        FUZZ_CHECK(fd >= 0);
        FUZZ_CHECK(::write(fd, data + 2, size - 2) == static_cast<ssize_t>(size - 2));
        ::close(fd);
    }
    rte::fmt::detail::setReadBufferSize(buffer);
    FUZZ_CHECK(view(path, step, true) == view(path, step, false));
    bursts(path, step, size);
    rte::fmt::detail::setReadBufferSize(0);
    return 0;
}
