// The compiled path of ScanFile (see numeric.h).
#include "rte/format/numeric.h"

namespace rte::fmt::detail {

bool NumericFormat::compile(std::string_view fmt)
{
    len = 0;
    count = 0;
    trailingSpace = false;
    if (fmt.empty() || fmt.size() > kMaxText)
        return false;
    std::size_t i = fmt.starts_with(kSourceMarker) ? kSourceMarker.size() : 0;
    while (i < fmt.size()) {
        const char c = fmt[i];
        if (isSpace(static_cast<unsigned char>(c))) {
            trailingSpace = count > 0;
            ++i;
            continue;
        }
        trailingSpace = false;
        if (c != '%' || i + 1 >= fmt.size() || count == kMaxConv)
            return false;
        const char k = fmt[i + 1];
        if (k != 'd' && k != 'f')
            return false;
        if (i + 2 < fmt.size() && fmt[i + 2] == '[')
            return false;
        isDouble[count++] = k == 'f';
        i += 2;
    }
    if (count == 0)
        return false;
    allDouble = true;
    for (std::size_t k = 0; k < count; ++k)
        allDouble = allDouble && isDouble[k];
    std::memcpy(text, fmt.data(), fmt.size());
    len = fmt.size();
    return true;
}

}  // namespace rte::fmt::detail
