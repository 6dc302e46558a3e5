// Number texts of the format language (see write.h).
#include "rte/format/write.h"

#include <charconv>
#include <cmath>

namespace rte::fmt::detail {

namespace {

// Scientific notation with `digits` digits after the point and at least
// `expDigits` exponent digits.  Returns the length.
std::size_t scientificText(char *buf, double v, int digits, int expDigits)
{
    char tmp[kNumBuf];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::scientific, digits);
    const std::size_t len = static_cast<std::size_t>(r.ptr - tmp);
    const char *e = static_cast<const char *>(std::memchr(tmp, 'e', len));
    if (!e) {  // cannot happen for finite values; keep the text as it is
        std::memcpy(buf, tmp, len);
        return len;
    }
    std::size_t out = static_cast<std::size_t>(e - tmp) + 2;  // mantissa, 'e', sign
    std::memcpy(buf, tmp, out);
    const char *d = e + 2;
    const char *end = tmp + len;
    while (d + 1 < end && *d == '0')  // strip to the minimum, then pad
        ++d;
    const std::size_t have = static_cast<std::size_t>(end - d);
    for (std::size_t k = have; k < static_cast<std::size_t>(expDigits); ++k)
        buf[out++] = '0';
    std::memcpy(buf + out, d, have);
    return out + have;
}

}  // namespace

std::size_t numberText(char *buf, double v, const Conv &c)
{
    if (std::isnan(v)) {
        std::memcpy(buf, "nan", 3);
        return 3;
    }
    if (std::isinf(v)) {
        if (v < 0) {
            std::memcpy(buf, "-inf", 4);
            return 4;
        }
        std::memcpy(buf, "inf", 3);
        return 3;
    }
    if (c.shortest) {
        // Never fitted to a field: fewer digits would read back as another value.
        const auto r = std::to_chars(buf, buf + kNumBuf, v);
        return static_cast<std::size_t>(r.ptr - buf);
    }
    const std::size_t width = static_cast<std::size_t>(c.width);
    std::size_t len;
    int expDigits = c.expDigits;
    int start;  // mantissa digits to try first when the text must be fitted
    if (expDigits > 0) {
        len = scientificText(buf, v, c.precision, expDigits);
        if (width == 0 || len <= width)
            return len;
        start = c.precision - 1;
    } else {
        auto r = std::to_chars(buf, buf + kNumBuf, v, std::chars_format::fixed, c.precision);
        len = static_cast<std::size_t>(r.ptr - buf);
        if (width == 0 || len <= width)
            return len;
        expDigits = 2;
        // sign, digit, point, "e+NN": as many mantissa digits as the rest allows,
        // no more than a double carries.
        start = static_cast<int>(width) - 6 - (v < 0 ? 1 : 0);
        if (start > 16)
            start = 16;
    }
    // Wider than its field: scientific notation with as many mantissa digits
    // as fit, at least one.
    if (start < 0)
        start = 0;
    for (int digits = start;; --digits) {
        len = scientificText(buf, v, digits, expDigits);
        if (len <= width || digits == 0)
            return len;
    }
}

std::size_t intText(char *buf, int v)
{
    auto r = std::to_chars(buf, buf + 16, v);
    return static_cast<std::size_t>(r.ptr - buf);
}

}  // namespace rte::fmt::detail
