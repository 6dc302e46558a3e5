// Private to the engine: reading targets from a source under a format,
// shared by the text front end (formatio.cpp: Scan) and the file front end
// (files.cpp: ScanFile).  The source is a template parameter, so the hot path
// of ScanFile has no virtual call.
#pragma once

#include "rte/format/args.h"
#include "rte/format/conv.h"

#include <cfloat>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <system_error>
#include <type_traits>

// Inlined into the scanning loop whatever the optimiser thinks of its size.
#define RTE_HOT_INLINE [[gnu::always_inline]] inline

namespace rte::fmt::detail {

// White space: blank, tab, line feed, carriage return, vertical tab, form feed.
struct SpaceTable {
    bool is[256] = {};
    constexpr SpaceTable()
    {
        for (unsigned char c : {' ', '\t', '\n', '\r', '\v', '\f'})
            is[c] = true;
    }
};
inline constexpr SpaceTable kSpace{};

inline bool isSpace(unsigned char c)
{
    return kSpace.is[c];
}

//
// A Source has:
//   const char *cur, *end;  the bytes at hand
//   bool eof;               no more bytes will come than those at hand
//   bool more();            tries to bring more bytes (keeping [cur, end));
//                           true when it did; false and eof set at the end of
//                           the input; false with eof clear when it has no
//                           room (a token fills the whole buffer).
// A text source has everything at hand: eof is true, more() is false.

// A number closer than this to the end of the bytes at hand may go on past
// it ("1e|+05", "in|f"), so it is read again once more bytes are there.
inline constexpr std::ptrdiff_t kGuard = 128;

template <class Src>
RTE_HOT_INLINE void skipSpace(Src &s)
{
    while (true) {
        while (s.cur < s.end && isSpace(static_cast<unsigned char>(*s.cur)))
            ++s.cur;
        if (s.cur < s.end || s.eof || !s.more())
            return;
    }
}

// The powers of ten a double holds exactly.
inline constexpr double kExactTens[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool isDecimalDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// The decimal texts recordings are made of ("1000012.0", "1.684100e+05"),
// read without std::from_chars's general machinery: digits that fit in 2^53
// times or over an exact power of ten is one correctly rounded operation
// (Clinger), hence the very double from_chars gives.  Anything else (more
// digits, a larger exponent, "inf", "5.", "1e+", a lone sign) gives nullptr
// and is left to from_chars, so the two never differ.  Taken only where each
// operation rounds to double (FLT_EVAL_METHOD 0), not to a wider type.
RTE_HOT_INLINE const char *readPlainDecimal(const char *p, const char *e, double &v)
{
    const bool negative = p < e && *p == '-';
    p += negative;
    std::uint64_t digits = 0;
    const char *first = p;
    while (p < e && isDecimalDigit(*p))
        digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    std::ptrdiff_t count = p - first;
    int exponent = 0;
    if (p < e && *p == '.') {
        const char *fraction = ++p;
        while (p < e && isDecimalDigit(*p))
            digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
        if (p == fraction)
            return nullptr;
        count += p - fraction;
        exponent = -static_cast<int>(p - fraction);
    }
    // More than 19 digits may have wrapped around.
    if (count == 0 || count > 19 || digits > (std::uint64_t{1} << 53))
        return nullptr;
    if (p < e && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool down = p < e && *p == '-';
        if (p < e && (*p == '-' || *p == '+'))
            ++p;
        const char *power = p;
        int tens = 0;
        while (p < e && isDecimalDigit(*p) && p - power < 3)
            tens = tens * 10 + (*p++ - '0');
        if (p == power || (p < e && isDecimalDigit(*p)))
            return nullptr;
        exponent += down ? -tens : tens;
    }
    if (exponent < -22 || exponent > 22)
        return nullptr;
    double d = static_cast<double>(digits);
    d = exponent < 0 ? d / kExactTens[-exponent] : d * kExactTens[exponent];
    v = negative ? -d : d;
    return p;
}

template <class T>
RTE_HOT_INLINE std::from_chars_result parseValue(const char *p, const char *e, T &v)
{
    if constexpr (std::is_same_v<T, double>) {
        if constexpr (FLT_EVAL_METHOD == 0)
            if (const char *end = readPlainDecimal(p, e, v))
                return {end, std::errc()};
        return std::from_chars(p, e, v, std::chars_format::general);
    } else {
        return std::from_chars(p, e, v, 10);
    }
}

// Reads an int or a double: white space, an optional '+', then what
// std::from_chars accepts.  The target is written only on success.
template <class T, class Src>
RTE_HOT_INLINE bool readNumber(Src &s, T &target)
{
    skipSpace(s);
    while (true) {
        const char *p = s.cur;
        const char *e = s.end;
        bool plus = p < e && *p == '+';
        if (plus)
            ++p;
        T v;  // written by parseValue on success, read only then
        std::from_chars_result r;
        if (plus && p < e && *p == '-')
            r = {p, std::errc::invalid_argument};  // "+-1"
        else
            r = parseValue(p, e, v);
        if (!s.eof && e - r.ptr < kGuard) {
            // The token may go on past the bytes at hand: read it again once
            // they are there.  No room left means a token as long as the
            // buffer: it is not read.
            if (s.more() || s.eof)
                continue;
            return false;
        }
        if (r.ec != std::errc())
            return false;
        target = v;
        s.cur = r.ptr;
        return true;
    }
}

// One blank-delimited word into cap bytes (terminator included); a longer
// word is cut to cap - 1 bytes and passed over whole.
template <class Src>
inline bool readWord(Src &s, char *dst, std::size_t cap)
{
    skipSpace(s);
    if (s.cur >= s.end)
        return false;
    std::size_t n = 0;
    while (true) {
        while (s.cur < s.end && !isSpace(static_cast<unsigned char>(*s.cur))) {
            if (n + 1 < cap)
                dst[n++] = *s.cur;
            ++s.cur;
        }
        if (s.cur < s.end || s.eof || !s.more())
            break;
    }
    if (cap > 0)
        dst[n] = '\0';
    return true;
}

template <class Src>
inline bool haveByte(Src &s)
{
    while (s.cur >= s.end) {
        if (s.eof || !s.more())
            return false;
    }
    return true;
}

// Reads the targets the format names from the source.  Returns the number of
// targets filled; stops at the first that cannot be read.
template <class Src>
int scanCore(Src &s, std::string_view fmt, std::span<const Arg> targets)
{
    const std::size_t n = fmt.size();
    std::size_t i = 0, ti = 0;
    if (fmt.starts_with(kSourceMarker))
        i = kSourceMarker.size();
    int count = 0;
    bool stopped = false;  // input failed; debug builds go on checking the format
    while (i < n) {
        const unsigned char ch = static_cast<unsigned char>(fmt[i]);
        if (ch != '%') {
            ++i;
            if (stopped)
                continue;
            if (isSpace(ch)) {
                skipSpace(s);
            } else if (haveByte(s) && static_cast<unsigned char>(*s.cur) == ch) {
                ++s.cur;
            } else {
                if constexpr (!kDebug)
                    return count;
                stopped = true;
            }
            continue;
        }
        const std::size_t at = i;
        Conv c;
        ConvFault fault = ConvFault::None;
        if (!parseConv(fmt, i, c, fault)) {
            formatError(fmt, at, fault);
            return count;
        }
        if (c.kind == '%') {
            if (stopped)
                continue;
            if (haveByte(s) && *s.cur == '%') {
                ++s.cur;
            } else {
                if constexpr (!kDebug)
                    return count;
                stopped = true;
            }
            continue;
        }
        if (ti >= targets.size()) {
            formatError(fmt, at, "too few targets");
            return count;
        }
        const Arg &a = targets[ti++];
        if (a.kind != targetKind(c.kind)) {
            formatError(fmt, at, "target of the wrong kind for this conversion");
            return count;
        }
        if (stopped)
            continue;
        bool ok = false;
        switch (c.kind) {
        case 'd':
            ok = readNumber(s, *a.ip);
            break;
        case 'f':
            ok = readNumber(s, *a.dp);
            break;
        case 's':
            ok = readWord(s, a.sp, a.capacity);
            break;
        case 'c':
            ok = haveByte(s);
            if (ok)
                *a.ip = static_cast<unsigned char>(*s.cur++);
            break;
        }
        if (!ok) {
            if constexpr (!kDebug)
                return count;
            stopped = true;
            continue;
        }
        ++count;
    }
    return count;
}

}  // namespace rte::fmt::detail
