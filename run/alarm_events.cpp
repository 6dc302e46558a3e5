#include "run/alarm_events.h"

#include "alarm/alarm_display.h"
#include "alarm/event_file.h"
#include "app/state.h"
#include "publish/publish.h"
#include "rte/userint.h"
#include "rte/utility.h"

void hand_on_event(const AlarmEvent &e)
{
    if (e.event == nullptr)
        return;
    const int stored = write_event(e.event, e.value, e.limit, e.elapsed) == 0;
    // The site's broker hears of the event whether or not the file took it.
    publish_alarm(e.event, e.value, e.limit, e.elapsed);
    alarm_show(e, stored);
}

void alarm_quiet()
{
    hand_on_event(alarm_reset(state.reading, Timer() - state.t_start));
}

int acknowledge(int, int, int event, void *, int, int)
{
    // When the operator acted, not when the reading was taken.
    if (event == kEventCommit)
        hand_on_event(alarm_acknowledge(state.reading, Timer() - state.t_start));
    return 0;
}
