// Private to the engine: the machinery of the format language, shared by the
// text front ends (formatio.cpp: Fmt, Scan) and the file front ends
// (files.cpp: FmtFile, ScanFile).  Not for the program.
//
// Writing goes to a Sink (anything with put(const char*, size_t) and
// fill(char, size_t)); reading comes from a Source (see scanCore below).  Both
// are template parameters, so the hot path of ScanFile has no virtual call.
#pragma once

#include "rte/formatio.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <system_error>

// Inlined into the scanning loop whatever the optimiser thinks of its size.
#define RTE_HOT_INLINE [[gnu::always_inline]] inline

namespace rte::fmt::detail {

#ifdef NDEBUG
inline constexpr bool kDebug = false;
#else
inline constexpr bool kDebug = true;
#endif

// A wrong format or argument: a programming error.  Debug builds print a
// message naming the format and abort; release builds return and the caller
// stops converting.  Defined in formatio.cpp.
[[gnu::cold]] void formatError(std::string_view fmt, std::size_t at, const char *what);

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

// Limits of the bracketed modifiers (larger numbers are format errors).
inline constexpr int kMaxPrecision = 99;
inline constexpr int kMaxWidth = 999;
inline constexpr int kMaxExpDigits = 9;
inline constexpr int kDefaultPrecision = 6;

// One conversion of a format.
struct Conv {
    char kind = 0;      // 'd', 'f', 'c', 's' or '%'
    int precision = kDefaultPrecision;
    int width = 0;      // 0: no field
    int expDigits = 0;  // 0: fixed-point; otherwise scientific with at least that many
};

// Parses the conversion that starts at fmt[i] == '%' and moves i past it.
// On failure returns false and names the fault in `error`.  The general case
// (modifiers, faults) is in formatio.cpp.
bool parseConvSlow(std::string_view fmt, std::size_t &i, Conv &c, const char *&error);

inline bool parseConv(std::string_view fmt, std::size_t &i, Conv &c, const char *&error)
{
    // The common case inline: a conversion letter without modifiers.
    if (i + 1 < fmt.size()) {
        const char k = fmt[i + 1];
        const bool bracket = i + 2 < fmt.size() && fmt[i + 2] == '[';
        if (k == 'c' || k == 's' || k == '%' || ((k == 'f' || k == 'd') && !bracket)) {
            c = Conv{};
            c.kind = k;
            i += 2;
            return true;
        }
    }
    return parseConvSlow(fmt, i, c, error);
}


// ---------------------------------------------------------------- writing

// Room for any number text: fixed-point of DBL_MAX with 99 digits after the
// point is 1 + 309 + 1 + 99 = 410 bytes.
inline constexpr std::size_t kNumBuf = 512;

// Scientific notation with `digits` digits after the point and at least
// `expDigits` exponent digits.  Returns the length.
inline std::size_t scientificText(char *buf, double v, int digits, int expDigits)
{
    char tmp[kNumBuf];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::scientific, digits);
    const std::size_t len = static_cast<std::size_t>(r.ptr - tmp);
    const char *e = static_cast<const char *>(std::memchr(tmp, 'e', len));
    if (!e) {  // cannot happen for finite values; keep the text as it is
        std::memcpy(buf, tmp, len);
        return len;
    }
    std::size_t out = static_cast<std::size_t>(e - tmp) + 2;  // mantissa, 'e', sign
    std::memcpy(buf, tmp, out);
    const char *d = e + 2;
    const char *end = tmp + len;
    while (d + 1 < end && *d == '0')  // strip to the minimum, then pad
        ++d;
    const std::size_t have = static_cast<std::size_t>(end - d);
    for (std::size_t k = have; k < static_cast<std::size_t>(expDigits); ++k)
        buf[out++] = '0';
    std::memcpy(buf + out, d, have);
    return out + have;
}

// The text of a double under a conversion, without the field padding.
// Returns the length (at most kNumBuf).
inline std::size_t numberText(char *buf, double v, const Conv &c)
{
    if (std::isnan(v)) {
        std::memcpy(buf, "nan", 3);
        return 3;
    }
    if (std::isinf(v)) {
        if (v < 0) {
            std::memcpy(buf, "-inf", 4);
            return 4;
        }
        std::memcpy(buf, "inf", 3);
        return 3;
    }
    const std::size_t width = static_cast<std::size_t>(c.width);
    std::size_t len;
    int expDigits = c.expDigits;
    int start;  // mantissa digits to try first when the text must be fitted
    if (expDigits > 0) {
        len = scientificText(buf, v, c.precision, expDigits);
        if (width == 0 || len <= width)
            return len;
        start = c.precision - 1;
    } else {
        auto r = std::to_chars(buf, buf + kNumBuf, v, std::chars_format::fixed, c.precision);
        len = static_cast<std::size_t>(r.ptr - buf);
        if (width == 0 || len <= width)
            return len;
        expDigits = 2;
        // sign, digit, point, "e+NN": as many mantissa digits as the rest allows,
        // no more than a double carries.
        start = static_cast<int>(width) - 6 - (v < 0 ? 1 : 0);
        if (start > 16)
            start = 16;
    }
    // Wider than its field: scientific notation with as many mantissa digits
    // as fit, at least one.
    if (start < 0)
        start = 0;
    for (int digits = start;; --digits) {
        len = scientificText(buf, v, digits, expDigits);
        if (len <= width || digits == 0)
            return len;
    }
}

inline std::size_t intText(char *buf, int v)
{
    auto r = std::to_chars(buf, buf + 16, v);
    return static_cast<std::size_t>(r.ptr - buf);
}

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
        const char *error = nullptr;
        if (!parseConv(fmt, i, c, error)) {
            formatError(fmt, at, error);
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
        const Arg::Kind want = c.kind == 'f' ? Arg::Kind::Double
                               : c.kind == 's' ? Arg::Kind::Text
                                               : Arg::Kind::Int;
        if (a.kind != want) {
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

// ---------------------------------------------------------------- reading
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

template <class T>
RTE_HOT_INLINE std::from_chars_result parseValue(const char *p, const char *e, T &v)
{
    if constexpr (std::is_same_v<T, double>)
        return std::from_chars(p, e, v, std::chars_format::general);
    else
        return std::from_chars(p, e, v, 10);
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
    if (fmt.starts_with("%s>"))
        i = 3;
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
        const char *error = nullptr;
        if (!parseConv(fmt, i, c, error)) {
            formatError(fmt, at, error);
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
        const Arg::Kind want = c.kind == 'f' ? Arg::Kind::DoubleOut
                               : c.kind == 's' ? Arg::Kind::TextOut
                                               : Arg::Kind::IntOut;
        if (a.kind != want) {
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

// ---------------------------------------------------------------- fast path
//
// The log viewer calls ScanFile with the same short format millions of times.
// A format made only of %d and %f conversions, white space and the leading
// "%s>" marker is compiled once into the list of its conversions (the white
// space between numbers is what readNumber skips anyway) and kept in a small
// cache keyed by the format's text.  Every other format, and every call whose
// targets do not match, goes through scanCore.

struct NumericFormat {
    static constexpr std::size_t kMaxText = 32;
    static constexpr std::size_t kMaxConv = 16;
    std::size_t len = 0;  // 0: empty slot
    char text[kMaxText];
    std::size_t count = 0;
    bool isDouble[kMaxConv];

    bool allDouble = false;
    bool trailingSpace = false;  // white space after the last conversion

    // Same text: a few word compares (overlapping loads inside both texts).
    RTE_HOT_INLINE bool matches(std::string_view fmt) const
    {
        if (fmt.size() != len)
            return false;
        const char *p = fmt.data();
        if (len >= 8) {
            for (std::size_t k = 0; k + 8 < len; k += 8)
                if (word8(p + k) != word8(text + k))
                    return false;
            return word8(p + len - 8) == word8(text + len - 8);
        }
        if (len >= 4)
            return word4(p) == word4(text) && word4(p + len - 4) == word4(text + len - 4);
        for (std::size_t k = 0; k < len; ++k)
            if (p[k] != text[k])
                return false;
        return true;
    }
    static std::uint64_t word8(const char *p)
    {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    }
    static std::uint32_t word4(const char *p)
    {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        return w;
    }

    // Compiles fmt; false when it is not a plain numeric format.
    bool compile(std::string_view fmt)
    {
        len = 0;
        count = 0;
        trailingSpace = false;
        if (fmt.empty() || fmt.size() > kMaxText)
            return false;
        std::size_t i = fmt.starts_with("%s>") ? 3 : 0;
        while (i < fmt.size()) {
            const char c = fmt[i];
            if (isSpace(static_cast<unsigned char>(c))) {
                trailingSpace = count > 0;
                ++i;
                continue;
            }
            trailingSpace = false;
            if (c != '%' || i + 1 >= fmt.size() || count == kMaxConv)
                return false;
            const char k = fmt[i + 1];
            if (k != 'd' && k != 'f')
                return false;
            if (i + 2 < fmt.size() && fmt[i + 2] == '[')
                return false;
            isDouble[count++] = k == 'f';
            i += 2;
        }
        if (count == 0)
            return false;
        allDouble = true;
        for (std::size_t k = 0; k < count; ++k)
            allDouble = allDouble && isDouble[k];
        std::memcpy(text, fmt.data(), fmt.size());
        len = fmt.size();
        return true;
    }

    template <std::size_t N, class Src>
    RTE_HOT_INLINE int runDoubles(Src &s, std::span<const Arg> targets) const
    {
        bool kindsOk = true;
        for (std::size_t k = 0; k < N; ++k)
            kindsOk &= targets[k].kind == Arg::Kind::DoubleOut;
        if (!kindsOk)
            return -1;
#pragma GCC unroll 4
        for (std::size_t k = 0; k < N; ++k)
            if (!readNumber(s, *targets[k].dp))
                return static_cast<int>(k);
        if (trailingSpace)
            skipSpace(s);
        return static_cast<int>(N);
    }

    // Runs the conversions; -1 when the targets do not fit the format (the
    // caller then takes the general path, which reports the fault).
    template <class Src>
    RTE_HOT_INLINE int run(Src &s, std::span<const Arg> targets) const
    {
        if (targets.size() < count)
            return -1;
        if (allDouble) {
            // Unrolled for the usual counts: the viewer's "%f %f" is two.
            switch (count) {
            case 1:
                return runDoubles<1>(s, targets);
            case 2:
                return runDoubles<2>(s, targets);
            case 3:
                return runDoubles<3>(s, targets);
            default:
                break;
            }
            for (std::size_t k = 0; k < count; ++k)
                if (targets[k].kind != Arg::Kind::DoubleOut)
                    return -1;
            for (std::size_t k = 0; k < count; ++k)
                if (!readNumber(s, *targets[k].dp))
                    return static_cast<int>(k);
            if (trailingSpace)
                skipSpace(s);
            return static_cast<int>(count);
        }
        for (std::size_t k = 0; k < count; ++k)
            if (targets[k].kind != (isDouble[k] ? Arg::Kind::DoubleOut : Arg::Kind::IntOut))
                return -1;
        for (std::size_t k = 0; k < count; ++k) {
            const bool ok = isDouble[k] ? readNumber(s, *targets[k].dp)
                                        : readNumber(s, *targets[k].ip);
            if (!ok)
                return static_cast<int>(k);
        }
        if (trailingSpace)
            skipSpace(s);
        return static_cast<int>(count);
    }
};

}  // namespace rte::fmt::detail
