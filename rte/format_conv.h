// Private to the engine: one conversion of a format (its grammar and limits)
// and how a wrong format is reported, shared by writing and scanning.
#pragma once

#include <cstddef>
#include <string_view>

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

}  // namespace rte::fmt::detail
