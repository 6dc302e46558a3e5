// Private to the engine: UTF-8 texts checked, cut and made from
// Windows-1252.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rte::utf8 {

// The character that starts at text[k] (k < text.size()), k moved past
// it; nothing, k unmoved, where no well-formed character starts there.
std::optional<char32_t> next(std::string_view text, std::size_t &k);
// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing above U+10FFFF.
bool valid(std::string_view text);
// How many bytes of the text fit in `room` without cutting a character.
std::size_t fit(std::string_view text, std::size_t room);
// Windows-1252 bytes as UTF-8.
std::string fromCp1252(std::string_view bytes);

}  // namespace rte::utf8
