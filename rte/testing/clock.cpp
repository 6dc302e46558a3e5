#include "rte/testing/testing.h"
#include "rte/util/clock_seam.h"

namespace rte::testing {

void setClock(double (*now)())
{
    rte::util::setClockSource(now);
}

}  // namespace rte::testing
