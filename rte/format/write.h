// Private to the engine: writing a format with its arguments, shared by the
// text front end (formatio.cpp: Fmt) and the file front end (files_format.cpp:
// FmtFile).  Writing goes to a Sink: anything with put(const char*, size_t)
// and fill(char, size_t), a template parameter so that neither pays for a
// virtual call.
#pragma once

#include "rte/format/args.h"
#include "rte/format/conv.h"

#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

namespace rte::fmt::detail {

// Room for any number text: fixed-point of DBL_MAX with 99 digits after the
// point is 1 + 309 + 1 + 99 = 410 bytes.
inline constexpr std::size_t kNumBuf = 512;

// The text of a double under a conversion, without the field padding.
// Returns the length (at most kNumBuf).
std::size_t numberText(char *buf, double v, const Conv &c);
// The decimal text of an int.  Returns the length (at most 11).
std::size_t intText(char *buf, int v);

// Writes the format with its arguments into the sink.  Returns the number of
// conversions written (%% is not one).
template <class Sink>
int formatCore(Sink &out, std::string_view fmt, std::span<const Arg> args)
{
    const std::size_t n = fmt.size();
    std::size_t i = 0, argi = 0;
    int count = 0;
    char buf[kNumBuf];
    while (i < n) {
        std::size_t j = i;
        while (j < n && fmt[j] != '%')
            ++j;
        if (j > i) {
            out.put(fmt.data() + i, j - i);
            i = j;
            if (i >= n)
                break;
        }
        const std::size_t at = i;
        Conv c;
        ConvFault fault = ConvFault::None;
        if (!parseConv(fmt, i, c, fault)) {
            formatError(fmt, at, fault);
            return count;
        }
        if (c.kind == '%') {
            out.put("%", 1);
            continue;
        }
        if (argi >= args.size()) {
            formatError(fmt, at, "too few arguments");
            return count;
        }
        const Arg &a = args[argi++];
        if (a.kind != argumentKind(c.kind)) {
            formatError(fmt, at, "argument of the wrong kind for this conversion");
            return count;
        }
        std::size_t len = 0;
        switch (c.kind) {
        case 'd':
            len = intText(buf, a.i);
            break;
        case 'f':
            len = numberText(buf, a.d, c);
            break;
        case 'c':
            buf[0] = static_cast<char>(static_cast<unsigned char>(a.i));
            len = 1;
            break;
        case 's':
            if (a.s)
                out.put(a.s, std::strlen(a.s));
            ++count;
            continue;
        }
        if (static_cast<std::size_t>(c.width) > len)
            out.fill(' ', static_cast<std::size_t>(c.width) - len);
        out.put(buf, len);
        ++count;
    }
    return count;
}

}  // namespace rte::fmt::detail
