#include "rte/ui/text.h"

#include "rte/util/cp1252.h"
#include "rte/util/utf8.h"

#include <algorithm>
#include <cstring>

namespace rte::ui {
namespace {

char toByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    const auto &high = cp1252::kHighControls;
    const auto *hit = std::find(high.begin(), high.end(), c);
    if (hit == high.end())
        return '?';
    return static_cast<char>(0x80 + (hit - high.begin()));
}

}  // namespace

QString fromCp1252(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char b : bytes)
        text.append(QChar(cp1252::codePoint(static_cast<unsigned char>(b))));
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

QString fromUtf8(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toUtf8(const QString &text) { return text.toUtf8().toStdString(); }

void copyBounded(std::string_view text, char *target, std::size_t capacity)
{
    if (capacity == 0)
        return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

void copyBoundedUtf8(std::string_view text, char *target, std::size_t capacity)
{
    if (capacity > 0)
        copyBounded(text.substr(0, utf8::fit(text, capacity - 1)), target, capacity);
}

}  // namespace rte::ui
