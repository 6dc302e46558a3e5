// Private to the engine and its testing library: what may stand in for the
// clock behind Timer and Delay.
#pragma once

namespace rte::util {

// Timer returns what `now` returns, and Delay returns at once; nullptr, as
// at start, is the real clock.
void setClockSource(double (*now)());

}  // namespace rte::util
