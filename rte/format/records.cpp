// Recognising records of plain numbers (see records.h).
#include "rte/format/records.h"
#include "rte/format/scan.h"

namespace rte::fmt::detail {
namespace {

// With an exponent of at most two digits, a number that fits the window
// lies between 1e-160 and 1e160 or is 0: never near the limits of a double,
// where std::from_chars would refuse it.
constexpr int kMaxExponentDigits = 2;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSign(char c)
{
    return c == '+' || c == '-';
}

const char *digits(const char *p, const char *end)
{
    while (p < end && isDigit(*p))
        ++p;
    return p;
}

// The end of the plain number at p, or nullptr.
const char *plainNumber(const char *p, const char *end)
{
    if (p < end && isSign(*p))
        ++p;
    const char *q = digits(p, end);
    if (q == p)
        return nullptr;
    if (q < end && *q == '.') {
        const char *fraction = q + 1;
        q = digits(fraction, end);
        if (q == fraction)
            return nullptr;
    }
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char *exponent = q + 1;
        if (exponent < end && isSign(*exponent))
            ++exponent;
        q = digits(exponent, end);
        if (q == exponent || q - exponent > kMaxExponentDigits)
            return nullptr;
    }
    return q;
}

}  // namespace

std::size_t NumberRecords::check(const char *p) const
{
    const char *end = p + kWindow;
    const char *q = p;
    for (std::size_t k = 0; k < numbers_; ++k) {
        const char *blank = q;
        while (q < end && isSpace(static_cast<unsigned char>(*q)))
            ++q;
        if (k > 0 && q == blank)
            return 0;  // "1.5-2": not two plain numbers
        q = plainNumber(q, end);
        if (!q)
            return 0;
    }
    // The white space after the last number must be at hand too.
    if (q >= end || !isSpace(static_cast<unsigned char>(*q)))
        return 0;
    return static_cast<std::size_t>(q - p);
}

void NumberRecords::learn(const char *p, std::size_t length)
{
    length_ = length;
    chunks_ = (length + 1 + sizeof(Lanes) - 1) / sizeof(Lanes);
    std::uint8_t literal[kWindow] = {}, keep[kWindow] = {}, mask[kWindow] = {}, want[kWindow] = {};
    for (std::size_t i = 0; i <= length; ++i) {
        if (isDigit(p[i])) {
            literal[i] = 0x30;
            keep[i] = 0xf0;
            mask[i] = 0x10;
        } else if (isSign(p[i])) {
            literal[i] = 0x29;
            keep[i] = 0xf9;
            mask[i] = 0x14;
            want[i] = 0x10;
        } else {
            literal[i] = static_cast<std::uint8_t>(p[i]);
            keep[i] = 0xff;
        }
    }
    std::memcpy(literal_, literal, sizeof literal);
    std::memcpy(keep_, keep, sizeof keep);
    std::memcpy(nibbleMask_, mask, sizeof mask);
    std::memcpy(nibbleWant_, want, sizeof want);
}

}  // namespace rte::fmt::detail
