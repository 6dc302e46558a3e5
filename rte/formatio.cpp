// The format language on texts: Fmt and Scan.  The machinery is in
// format_internal.h; the file front ends are in files.cpp.
#include "rte/formatio.h"
#define RTE_FORMAT_DEFINE_SLOW_PATHS
#include "rte/format_internal.h"

#include <cstdio>
#include <cstdlib>

namespace rte::fmt {

namespace detail {

void formatError(std::string_view fmt, std::size_t at, const char *what)
{
    if constexpr (kDebug) {
        std::fprintf(stderr, "rte format error: %s at offset %zu of format \"%.*s\"\n", what, at,
                     static_cast<int>(fmt.size()), fmt.data());
        std::fflush(stderr);
        std::abort();
    }
}

}  // namespace detail

namespace {

// Writes into a fixed-size text, keeping one byte for the terminator.
struct BoundedSink {
    char *data;
    std::size_t room;  // bytes that may still be written, terminator excluded
    std::size_t used = 0;

    void put(const char *p, std::size_t len)
    {
        const std::size_t k = len < room ? len : room;
        if (k == 0)
            return;
        std::memmove(data + used, p, k);  // a %s argument may be the target itself
        used += k;
        room -= k;
    }
    void fill(char c, std::size_t len)
    {
        const std::size_t k = len < room ? len : room;
        if (k == 0)
            return;
        std::memset(data + used, c, k);
        used += k;
        room -= k;
    }
};

// A terminated text: everything is at hand.
struct TextSource {
    const char *cur;
    const char *end;
    static constexpr bool eof = true;
    static bool more() { return false; }
};

}  // namespace

int format(std::span<char> out, std::string_view fmt, std::span<const Arg> args)
{
    if (out.empty()) {
        // No room even for the terminator: convert into nothing.
        BoundedSink sink{nullptr, 0};
        return detail::formatCore(sink, fmt, args);
    }
    BoundedSink sink{out.data(), out.size() - 1};
    const int count = detail::formatCore(sink, fmt, args);
    out[sink.used] = '\0';
    return count;
}

int scan(std::string_view src, std::string_view fmt, std::span<const Arg> targets)
{
    TextSource s{src.data(), src.data() + src.size()};
    return detail::scanCore(s, fmt, targets);
}

}  // namespace rte::fmt
