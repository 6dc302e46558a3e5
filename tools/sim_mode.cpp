#include "sim_mode.h"

#include <algorithm>
#include <array>
#include <utility>

namespace sim {
namespace {

constexpr std::array<std::pair<Mode, std::string_view>, 11> kNames{{
    {Mode::Normal, "normal"},
    {Mode::Silent, "silent"},
    {Mode::WrongLetter, "wrong-letter"},
    {Mode::NoCr, "no-cr"},
    {Mode::Long, "long"},
    {Mode::Garbage, "garbage"},
    {Mode::GarbageLead, "garbage-lead"},
    {Mode::Slow, "slow"},
    {Mode::LetterOnly, "letter-only"},
    {Mode::NotANumber, "nan"},
    {Mode::Hangup, "hangup"},
}};

// Bytes a line might pick up: NUL, XON/XOFF, ETX, ESC, LF, DEL and high
// bytes; no carriage return, so the reply still ends where it should.
constexpr std::string_view kGarbage{"\x00\x80\xff\x11\x13\x03\x1b\x0a\x7f\x9b", 10};

constexpr std::size_t kLongLength = 30;

}  // namespace

std::optional<Mode> modeNamed(std::string_view name)
{
    for (const auto &[mode, modeName] : kNames)
        if (modeName == name)
            return mode;
    return std::nullopt;
}

std::string_view nameOf(Mode mode)
{
    for (const auto &[known, name] : kNames)
        if (known == mode)
            return name;
    return "?";
}

std::string modeNames()
{
    std::string names;
    for (const auto &entry : kNames)
        names.append(names.empty() ? "" : ", ").append(entry.second);
    return names;
}

std::optional<std::string> replyFor(Mode mode, std::string_view query, std::string_view value)
{
    std::string text = std::string(query) + ' ' + std::string(value);
    switch (mode) {
    case Mode::Normal:
    case Mode::Slow:
        return text + '\r';
    case Mode::WrongLetter:
        text[0] = 'X';
        return text + '\r';
    case Mode::NoCr:
        return text;
    case Mode::Long:
        text.resize(std::max(text.size(), kLongLength), '_');
        return text + '\r';
    case Mode::Garbage:
        return text.insert(1, kGarbage) + '\r';
    case Mode::GarbageLead:
        return std::string(kGarbage) + text + '\r';
    case Mode::LetterOnly:
        return std::string(1, text[0]) + '\r';
    case Mode::NotANumber:
        return std::string(query) + " nan\r";
    case Mode::Silent:
    case Mode::Hangup:
        break;
    }
    return std::nullopt;
}

}  // namespace sim
