// The desktop alerts of userint.h (notification and repeating sound), and
// what they have done, which the testing library reads instead of looking
// at a tray or listening.
#pragma once

#include <string>
#include <vector>

namespace rte::ui {

struct AlertRecord {
    std::vector<std::string> notifications;  // "title|message", UTF-8
    int sounds = 0;
    bool sounding = false;
};
AlertRecord &alertRecord();

}  // namespace rte::ui
