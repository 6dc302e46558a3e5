// Private to the engine and its testing library: what may stand in for the
// clock behind Timer and Delay, and for the wall clock.
#pragma once

namespace rte::util {

// Timer returns what `now` returns, and Delay returns at once; nullptr, as
// at start, is the real clock.
void setClockSource(double (*now)());

// GetUnixTime and GetIsoTime take the moment from `now` (seconds since
// 1970-01-01 UTC, to the millisecond); nullptr, as at start, is the
// system's clock.
void setWallClockSource(double (*now)());

}  // namespace rte::util
