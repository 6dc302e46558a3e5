// Private to the engine: the compiled path of ScanFile for plainly numeric
// formats.  Only the file front end (files.cpp) uses it.
//
// The log viewer calls ScanFile with the same short format millions of times.
// A format made only of %d and %f conversions, white space and the leading
// "%s>" marker is compiled once into the list of its conversions (the white
// space between numbers is what readNumber skips anyway) and kept in a small
// cache keyed by the format's text.  Every other format, and every call whose
// targets do not match, goes through scanCore.
#pragma once

#include "rte/format/scan.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace rte::fmt::detail {

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
    bool compile(std::string_view fmt);

    // Whether the targets are of the kinds of the conversions, one for each.
    bool fits(std::span<const Arg> targets) const
    {
        if (targets.size() < count)
            return false;
        for (std::size_t k = 0; k < count; ++k)
            if (targets[k].kind != (isDouble[k] ? Arg::Kind::DoubleOut : Arg::Kind::IntOut))
                return false;
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
            if (!fits(targets))
                return -1;
            for (std::size_t k = 0; k < count; ++k)
                if (!readNumber(s, *targets[k].dp))
                    return static_cast<int>(k);
            if (trailingSpace)
                skipSpace(s);
            return static_cast<int>(count);
        }
        if (!fits(targets))
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