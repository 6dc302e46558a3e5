// Formats checked when the program is compiled (see formatio.h): the format
// types that the front ends take, which a literal converts to through a
// consteval constructor that runs the format's grammar against the types of
// the call's arguments.
#pragma once

#include "rte/format/args.h"
#include "rte/format/conv.h"

#include <array>
#include <cstddef>
#include <string_view>

// A format made while the program runs: checked when it is used.
struct RuntimeFormat {
    constexpr explicit RuntimeFormat(std::string_view format) : text(format) {}
    std::string_view text;
};

namespace rte::fmt {

// The room of a target without a size (a file).
inline constexpr std::size_t kAnyLength = static_cast<std::size_t>(-1);

namespace detail {

// The faults of a literal format.  They are called only while a format is
// checked during compilation, where a call to a function that is not
// constexpr stops the compiler with an error that names the function, and so
// the fault.  None of them is defined.
void format_argument_does_not_match_conversion();
void format_has_more_conversions_than_arguments();
void format_has_more_arguments_than_conversions();
void format_output_never_fits_target();
void format_text_target_holds_no_character();
void format_ends_with_a_lone_percent();
void format_has_an_unknown_conversion();
void format_modifiers_not_closed();
void format_has_an_unknown_modifier();
void format_modifier_without_a_number();
void format_modifier_number_too_large();
void format_precision_above_99();
void format_exponent_digits_not_1_to_9();
void format_shortest_takes_no_precision_or_exponent();

consteval void reportConvFault(ConvFault fault)
{
    switch (fault) {
    case ConvFault::None:
        break;
    case ConvFault::LonePercent:
        format_ends_with_a_lone_percent();
        break;
    case ConvFault::UnknownConversion:
        format_has_an_unknown_conversion();
        break;
    case ConvFault::UnclosedModifiers:
        format_modifiers_not_closed();
        break;
    case ConvFault::UnknownModifier:
        format_has_an_unknown_modifier();
        break;
    case ConvFault::ModifierWithoutNumber:
        format_modifier_without_a_number();
        break;
    case ConvFault::ModifierNumberTooLarge:
        format_modifier_number_too_large();
        break;
    case ConvFault::PrecisionTooLarge:
        format_precision_above_99();
        break;
    case ConvFault::ExpDigitsOutOfRange:
        format_exponent_digits_not_1_to_9();
        break;
    case ConvFault::ShortestWithDigits:
        format_shortest_takes_no_precision_or_exponent();
        break;
    }
}

// What the check knows of an argument: the kind that in() or out() gives its
// type, and a text target's capacity.
struct Slot {
    Arg::Kind kind;
    std::size_t capacity;
};

template <class T, bool Scanning>
consteval Slot slotOf()
{
    if constexpr (Scanning) {
        T target{};
        const Arg a = out(target);
        return {a.kind, a.capacity};
    } else {
        const T value{};
        return {in(value).kind, 0};
    }
}

// Walks the format as the writer or the scanner does and stops the compiler
// at the first fault.  `room` is the longest text the target holds.
template <std::size_t K>
consteval void checkFormat(std::string_view fmt, bool scanning, std::size_t room,
                           const std::array<Slot, K> &args)
{
    std::size_t i = scanning && fmt.starts_with(kSourceMarker) ? kSourceMarker.size() : 0;
    std::size_t used = 0;
    std::size_t least = 0;  // bytes every call writes
    while (i < fmt.size()) {
        if (fmt[i] != '%') {
            ++i;
            ++least;
            continue;
        }
        Conv c;
        ConvFault fault = ConvFault::None;
        if (!parseConv(fmt, i, c, fault))
            return reportConvFault(fault);
        if (c.kind == '%') {
            ++least;
            continue;
        }
        if (used == K)
            return format_has_more_conversions_than_arguments();
        const Slot a = args[used++];
        if (a.kind != (scanning ? targetKind(c.kind) : argumentKind(c.kind)))
            return format_argument_does_not_match_conversion();
        if (scanning && c.kind == 's' && a.capacity < 2)
            return format_text_target_holds_no_character();
        if (c.kind != 's')
            least += c.width > 1 ? static_cast<std::size_t>(c.width) : 1;
    }
    if (used < K)
        return format_has_more_arguments_than_conversions();
    if (!scanning && least > room)
        return format_output_never_fits_target();
}

}  // namespace detail

// The format of a call with arguments of the types Args: a literal, checked
// as it converts, or a RuntimeFormat.  For writing, Room is the longest text
// the target holds; scans have no such bound.
template <bool Scanning, std::size_t Room, class... Args>
class Format {
public:
    consteval Format(const char *format) : text_(format)
    {
        detail::checkFormat(text_, Scanning, Room,
                            std::array<detail::Slot, sizeof...(Args)>{
                                detail::slotOf<Args, Scanning>()...});
    }
    constexpr Format(RuntimeFormat format) : text_(format.text) {}

    constexpr std::string_view text() const { return text_; }

private:
    std::string_view text_;
};

template <std::size_t Room, class... Args>
using WriteFormat = Format<false, Room, Args...>;
template <class... Targets>
using ScanFormat = Format<true, kAnyLength, Targets...>;

}  // namespace rte::fmt
