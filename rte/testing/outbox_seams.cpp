#include "rte/mqtt/internal.h"
#include "rte/testing/testing.h"

namespace rte::testing {

int holdOutboxCommits(bool hold)
{
    return rte::mqtt::holdCommits(hold);
}

bool publishingEnded(double seconds)
{
    return rte::mqtt::endAbandoned(seconds);
}

}  // namespace rte::testing
