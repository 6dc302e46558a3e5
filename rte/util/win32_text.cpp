// UTF-8 and UTF-16 at the boundary of the system's wide-character calls.
#include "rte/util/win32_text.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include <windows.h>

namespace rte::win32 {

bool widen(const char *utf8, std::wstring &out)
{
    out.clear();
    const std::size_t len = std::strlen(utf8);
    if (len == 0)
        return true;
    if (len > INT_MAX)
        return false;
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8,
                                        static_cast<int>(len), nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(len), out.data(), n);
    return true;
}

std::string narrow(const wchar_t *utf16, std::size_t len)
{
    if (len == 0 || len > INT_MAX)
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16, static_cast<int>(len), nullptr, 0,
                                        nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16, static_cast<int>(len), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace rte::win32
