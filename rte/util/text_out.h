// Private to the engine's util part: texts handed out into the caller's
// buffers, whole or not at all.
#pragma once

#include <cstring>
#include <span>
#include <string>

namespace rte::util {

inline void setEmpty(std::span<char> out)
{
    if (!out.empty())
        out[0] = '\0';
}

// The whole text into `out`, or nothing: 0, or -1 and `out` empty when the
// text is empty or does not fit.
inline int copyWhole(std::span<char> out, const std::string &text)
{
    setEmpty(out);
    if (text.empty() || text.size() + 1 > out.size())
        return -1;
    std::memcpy(out.data(), text.c_str(), text.size() + 1);
    return 0;
}

}  // namespace rte::util
