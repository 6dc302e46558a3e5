// Topics checked before anything is published (MqttTopicFault of
// rte/mqtt.h), at their edges.
#include <gtest/gtest.h>

#include <string>

#include "rte/mqtt.h"

namespace {

TEST(MqttTopicFault, RefusesWhatMqttForbidsInATopicName)
{
    const struct {
        std::string topic;
        const char *fault;  // nullptr: allowed
    } rows[] = {
        {"vandrel/lab-1/reading", nullptr},
        {"/reading", nullptr},
        {"a//b/", nullptr},
        {"$lab/reading", nullptr},
        {"Labor-S\xC3\xBC" "d/\xCE\xA9 \xE6\xB8\xAC \xF0\x9F\xA7\xAA", nullptr},
        {"\xC2\xA0 \xEF\xBF\xBD \xF4\x8F\xBF\xBD", nullptr},  // U+00A0, U+FFFD, U+10FFFD
        {std::string(65535, 'x'), nullptr},
        {"", "is empty"},
        {std::string(65536, 'x'), "is longer than 65,535 bytes"},
        {"lab/+", "holds + or #, which are for subscriptions"},
        {"lab/+/reading", "holds + or #, which are for subscriptions"},
        {"lab/#", "holds + or #, which are for subscriptions"},
        {"#", "holds + or #, which are for subscriptions"},
        {"lab+1", "holds + or #, which are for subscriptions"},
        {"lab\tx", "holds a control character"},
        {"lab\x01", "holds a control character"},
        {"lab\x1F", "holds a control character"},
        {"lab\x7F", "holds a control character"},
        {"lab\xC2\x80", "holds a control character"},
        {"lab\xC2\x9F", "holds a control character"},
        {"lab\xEF\xB7\x90", "holds a non-character (such as U+FFFF)"},   // U+FDD0
        {"lab\xEF\xB7\xAF", "holds a non-character (such as U+FFFF)"},   // U+FDEF
        {"lab\xEF\xBF\xBE", "holds a non-character (such as U+FFFF)"},   // U+FFFE
        {"lab\xF0\x9F\xBF\xBF", "holds a non-character (such as U+FFFF)"},  // U+1FFFF
        {"lab\xF4\x8F\xBF\xBF", "holds a non-character (such as U+FFFF)"},  // U+10FFFF
        {"Labor-S\xFC" "d", "is not UTF-8"},
        {"lab\xC0\xAF", "is not UTF-8"},
        {"lab\xED\xA0\x80", "is not UTF-8"},
        {"lab\xE2\x82", "is not UTF-8"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.topic.substr(0, 40));
        const char *fault = MqttTopicFault(row.topic.c_str());
        if (row.fault == nullptr)
            EXPECT_EQ(fault, nullptr) << fault;
        else
            EXPECT_STREQ(fault, row.fault);
    }
}

}  // namespace
