// One conversion of a format: its grammar and limits, and how a wrong format
// is reported.  The grammar is constexpr: the same parser checks a literal
// format when the program is compiled (check.h) and reads every
// format at run time (write.h, scan.h).
#pragma once

#include <cstddef>
#include <string_view>

namespace rte::fmt::detail {

#ifdef NDEBUG
inline constexpr bool kDebug = false;
#else
inline constexpr bool kDebug = true;
#endif

// Limits of the bracketed modifiers (larger numbers are format errors).
inline constexpr int kMaxPrecision = 99;
inline constexpr int kMaxWidth = 999;
inline constexpr int kMaxExpDigits = 9;
inline constexpr int kDefaultPrecision = 6;

// Marks the source of a scan; ignored otherwise.
inline constexpr std::string_view kSourceMarker = "%s>";

// One conversion of a format.
struct Conv {
    char kind = 0;      // 'd', 'f', 'c', 's' or '%'
    int precision = kDefaultPrecision;
    int width = 0;      // 0: no field
    int expDigits = 0;  // 0: fixed-point; otherwise scientific with at least that many
    bool shortest = false;  // the shortest text that reads back as the same double
};

// What is wrong with a conversion.
enum class ConvFault {
    None,
    LonePercent,
    UnknownConversion,
    UnclosedModifiers,
    UnknownModifier,
    ModifierWithoutNumber,
    ModifierNumberTooLarge,
    PrecisionTooLarge,
    ExpDigitsOutOfRange,
    ShortestWithDigits,
};

// Parses the conversion that starts at fmt[i] == '%' and moves i past it.
// On failure returns false and names the fault.
constexpr bool parseConvSlow(std::string_view fmt, std::size_t &i, Conv &c, ConvFault &fault)
{
    const std::size_t n = fmt.size();
    std::size_t j = i + 1;
    if (j >= n) {
        fault = ConvFault::LonePercent;
        return false;
    }
    c = Conv{};
    c.kind = fmt[j++];
    switch (c.kind) {
    case 'c':
    case 's':
    case '%':
        i = j;
        return true;
    case 'd':
    case 'f':
        break;
    default:
        fault = ConvFault::UnknownConversion;
        return false;
    }
    if (j < n && fmt[j] == '[') {
        ++j;
        bool digitsGiven = false;  // p or e: the number of digits is fixed
        while (true) {
            if (j >= n) {
                fault = ConvFault::UnclosedModifiers;
                return false;
            }
            const char m = fmt[j++];
            if (m == ']')
                break;
            const bool allowed = m == 'w' || (c.kind == 'f' && (m == 'p' || m == 'e' || m == 'r'));
            if (!allowed) {
                fault = ConvFault::UnknownModifier;
                return false;
            }
            if (m == 'r') {
                c.shortest = true;
                continue;
            }
            digitsGiven |= m != 'w';
            int value = 0;
            std::size_t digits = 0;
            while (j < n && fmt[j] >= '0' && fmt[j] <= '9') {
                if (++digits > 3) {
                    fault = ConvFault::ModifierNumberTooLarge;
                    return false;
                }
                value = value * 10 + (fmt[j++] - '0');
            }
            if (digits == 0) {
                fault = ConvFault::ModifierWithoutNumber;
                return false;
            }
            if (m == 'w') {
                c.width = value;  // at most 999 by the digit count
            } else if (m == 'p') {
                if (value > kMaxPrecision) {
                    fault = ConvFault::PrecisionTooLarge;
                    return false;
                }
                c.precision = value;
            } else {
                if (value < 1 || value > kMaxExpDigits) {
                    fault = ConvFault::ExpDigitsOutOfRange;
                    return false;
                }
                c.expDigits = value;
            }
        }
        // The shortest text chooses its own digits and notation.
        if (c.shortest && digitsGiven) {
            fault = ConvFault::ShortestWithDigits;
            return false;
        }
    }
    i = j;
    return true;
}

constexpr bool parseConv(std::string_view fmt, std::size_t &i, Conv &c, ConvFault &fault)
{
    // The common case first: a conversion letter without modifiers.
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
    return parseConvSlow(fmt, i, c, fault);
}

// A wrong format or argument found at run time: a programming error.  Debug
// builds print a message naming the format and abort; release builds return
// and the caller stops converting.  Defined in formatio.cpp.
[[gnu::cold]] void formatError(std::string_view fmt, std::size_t at, const char *what);
[[gnu::cold]] void formatError(std::string_view fmt, std::size_t at, ConvFault fault);

}  // namespace rte::fmt::detail
