// The format language on texts: Fmt and Scan.  The machinery is in
// write.h and scan.h; the file front ends are in files_format.cpp.
#include "rte/formatio.h"
#include "rte/format/scan.h"
#include "rte/format/write.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace rte::fmt {

namespace detail {

void formatError(std::string_view fmt, std::size_t at, ConvFault fault)
{
    const bool forInt = at + 1 < fmt.size() && fmt[at + 1] == 'd';
    switch (fault) {
    case ConvFault::None:
        break;
    case ConvFault::LonePercent:
        return formatError(fmt, at, "format ends with a lone '%'");
    case ConvFault::UnknownConversion:
        return formatError(fmt, at, "unknown conversion");
    case ConvFault::UnclosedModifiers:
        return formatError(fmt, at, "modifiers not closed by ']'");
    case ConvFault::UnknownModifier:
        return formatError(fmt, at, forInt ? "unknown modifier for %d (only w)"
                                           : "unknown modifier for %f (p, w, e or r)");
    case ConvFault::ModifierWithoutNumber:
        return formatError(fmt, at, "modifier without a number");
    case ConvFault::ModifierNumberTooLarge:
        return formatError(fmt, at, "modifier number too large");
    case ConvFault::PrecisionTooLarge:
        return formatError(fmt, at, "precision above 99");
    case ConvFault::ExpDigitsOutOfRange:
        return formatError(fmt, at, "exponent digits must be 1 to 9");
    case ConvFault::ShortestWithDigits:
        return formatError(fmt, at, "r chooses its own digits: no p or e with it");
    }
    formatError(fmt, at, "format fault");
}

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
        std::memcpy(data + used, p, k);  // no text argument lies in the target (see format)
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

// Whether p points into area.
bool inside(std::span<const char> area, const char *p)
{
    // Ordered by std::less: the pointers may belong to unrelated objects.
    const std::less<const char *> before;
    return p && !before(p, area.data()) && before(p, area.data() + area.size());
}

// A terminated text: everything is at hand.
struct TextSource {
    const char *cur;
    const char *end;
    static constexpr bool eof = true;
    static bool more() { return false; }
};

int formatInto(std::span<char> out, std::string_view fmt, std::span<const Arg> args)
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

}  // namespace

int format(std::span<char> out, std::string_view fmt, std::span<const Arg> args)
{
    // A text argument that lies in the target would be read after earlier
    // output overwrote it, its terminator too: such arguments are read from a
    // copy of the target as it was before the call, ended at the target's end.
    const auto aliased = [out](const Arg &a) {
        return a.kind == Arg::Kind::Text && inside(out, a.s);
    };
    if (std::none_of(args.begin(), args.end(), aliased))
        return formatInto(out, fmt, args);
    const std::string before(out.data(), out.size());
    std::vector<Arg> moved(args.begin(), args.end());
    for (Arg &a : moved)
        if (aliased(a))
            a.s = before.c_str() + (a.s - out.data());
    return formatInto(out, fmt, moved);
}

int scan(std::string_view src, std::string_view fmt, std::span<const Arg> targets)
{
    TextSource s{src.data(), src.data() + src.size()};
    return detail::scanCore(s, fmt, targets);
}

}  // namespace rte::fmt
