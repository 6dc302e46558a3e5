// Private to the engine and its testing library: seams of the outbox.
#pragma once

namespace rte::mqtt {

// Waits at most `seconds` for the senders that did not end in time when
// their outbox was closed.  True when none is left.
bool endAbandoned(double seconds);
// Holds the outbox's commits open (many messages, one synced commit) or
// commits what was held.  0, or negative when that failed.
int holdCommits(bool hold);

}  // namespace rte::mqtt
