// Waiting for a state with a generous limit instead of a fixed sleep.
#pragma once

#include <chrono>
#include <functional>

namespace support {

// Polls done until it holds or limit passes; says whether it held.
bool waitUntil(const std::function<bool()> &done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace support
