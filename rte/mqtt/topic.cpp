// MqttTopicFault of mqtt.h.
#include "rte/mqtt.h"
#include "rte/util/utf8.h"

#include <string_view>

const char *MqttTopicFault(const char *topic)
{
    const std::string_view text = topic ? topic : "";
    if (text.empty())
        return "is empty";
    if (text.size() > 65535)
        return "is longer than 65,535 bytes";
    std::size_t k = 0;
    while (k < text.size()) {
        const std::optional<char32_t> c = rte::utf8::next(text, k);
        if (!c)
            return "is not UTF-8";
        if (*c == '+' || *c == '#')
            return "holds + or #, which are for subscriptions";
        if (*c <= 0x1F || (*c >= 0x7F && *c <= 0x9F))
            return "holds a control character";
        if ((*c >= 0xFDD0 && *c <= 0xFDEF) || (*c & 0xFFFE) == 0xFFFE)
            return "holds a non-character (such as U+FFFF)";
    }
    return nullptr;
}
