#include "rte/ui_text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace rte::ui {
namespace {

// 0x80-0x9F of Windows-1252.  The five unassigned bytes keep their C1
// control code points so that every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char toByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    const auto *hit = std::find(kHighControls.begin(), kHighControls.end(), c);
    if (hit == kHighControls.end())
        return '?';
    return static_cast<char>(0x80 + (hit - kHighControls.begin()));
}

}  // namespace

QString fromCp1252(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        text.append(QChar(u >= 0x80 && u < 0xA0 ? kHighControls[u - 0x80] : char16_t(u)));
    }
    return text;
}

std::string toCp1252(const QString &text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text)
        bytes.push_back(toByte(c.unicode()));
    return bytes;
}

QString fromPath(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toPath(const QString &path) { return path.toUtf8().toStdString(); }

void copyBounded(std::string_view text, char *target, std::size_t capacity)
{
    if (capacity == 0)
        return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

}  // namespace rte::ui
