// Private to the engine on Windows: UTF-8 texts of the engine's interface
// to and from the UTF-16 the system's wide-character calls take.
#pragma once

#include <string>

namespace rte::win32 {

// The UTF-16 form of a UTF-8 text; false (and an empty result) for bytes
// that are not UTF-8, which no file of the system can be named by.
bool widen(const char *utf8, std::wstring &out);
// The UTF-8 form of a UTF-16 text; unpaired surrogates become U+FFFD.
std::string narrow(const wchar_t *utf16, std::size_t len);

}  // namespace rte::win32
