// Private to the engine: Windows-1252, the 8-bit text of captions and of
// texts the program wrote before they were UTF-8.
#pragma once

#include <array>

namespace rte::cp1252 {

// 0x80-0x9F; the other bytes are the code points of their values.  The five
// unassigned bytes keep their C1 control code points so that every byte
// survives a round trip.
inline constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char16_t codePoint(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte);
}

}  // namespace rte::cp1252
