// Waiting for a state with a generous limit instead of a fixed sleep, for
// code with no event loop: it only sleeps between looks, so a state that
// needs events processed to change never comes (rte::testing::waitUntil
// processes them).
#pragma once

#include <chrono>
#include <functional>

namespace support {

// Polls done until it holds or limit passes; says whether it held.
bool sleepUntil(const std::function<bool()> &done,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace support
