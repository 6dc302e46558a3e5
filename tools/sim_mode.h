// How the simulated analyser answers, and the reply bytes for each way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sim {

enum class Mode {
    Normal,
    Silent,       // no answer
    WrongLetter,  // another first letter
    NoCr,         // no carriage return
    Long,         // 30 bytes before the carriage return
    Garbage,      // NUL, control and high bytes after the first letter
    GarbageLead,  // the same bytes before the first letter
    Slow,         // the normal reply, later than a read waits
    LetterOnly,   // the first letter and the carriage return
    NotANumber,   // "nan" for the value, as a cell with a broken sensor gives it
    Hangup,       // the device is gone
};

std::optional<Mode> modeNamed(std::string_view name);
std::string_view nameOf(Mode mode);
// All names, for usage text.
std::string modeNames();

// The reply to query (without its carriage return) whose normal value text
// is value; nothing for modes that stay silent.
std::optional<std::string> replyFor(Mode mode, std::string_view query, std::string_view value);

}  // namespace sim
