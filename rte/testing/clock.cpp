#include "rte/testing/testing.h"
#include "rte/util/clock_seam.h"

namespace rte::testing {

void setClock(double (*now)())
{
    rte::util::setClockSource(now);
}

void setWallClock(double (*now)())
{
    rte::util::setWallClockSource(now);
}

}  // namespace rte::testing
