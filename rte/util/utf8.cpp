// UTF-8 texts, and CopyUtf8 of utility.h.
#include "rte/util/utf8.h"

#include "rte/util/cp1252.h"
#include "rte/utility.h"

#include <cstring>

namespace rte::utf8 {

std::optional<char32_t> next(std::string_view text, std::size_t &k)
{
    const auto lead = static_cast<unsigned char>(text[k]);
    std::size_t more;
    char32_t c;
    if (lead < 0x80) {
        ++k;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3, c = lead & 0x07;
    } else {
        return std::nullopt;  // a continuation byte first, an overlong 0xC0/0xC1, or beyond
    }
    if (text.size() - k <= more)
        return std::nullopt;
    for (std::size_t j = 1; j <= more; ++j) {
        const auto b = static_cast<unsigned char>(text[k + j]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (b & 0x3F);
    }
    const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    k += more + 1;
    return c;
}

bool valid(std::string_view text)
{
    std::size_t k = 0;
    while (k < text.size())
        if (!next(text, k))
            return false;
    return true;
}

std::size_t fit(std::string_view text, std::size_t room)
{
    if (text.size() <= room)
        return text.size();
    std::size_t n = room;
    // Continuation bytes (10xxxxxx) at the cut belong to a character cut short.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

std::string fromCp1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char b : bytes) {
        const char16_t c = cp1252::codePoint(static_cast<unsigned char>(b));
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace rte::utf8

int rte::util::copyUtf8(std::span<char> out, const char *text)
{
    if (out.empty())
        return 0;
    const std::string_view given = text ? text : "";
    const bool converted = !utf8::valid(given);
    const std::string made = converted ? utf8::fromCp1252(given) : std::string();
    const std::string_view whole = converted ? std::string_view(made) : given;
    const std::size_t n = utf8::fit(whole, out.size() - 1);
    std::memmove(out.data(), whole.data(), n);
    out[n] = '\0';
    return converted ? 1 : 0;
}
