#include "summary/run_summary.h"

#include <cstring>

static void tally_event(EventTally &tally, const EventLine &e)
{
    ++tally.read;
    int k = 0;
    while (k < tally.kinds && std::strcmp(tally.kind[k], e.event) != 0)
        ++k;
    if (k == tally.kinds) {
        if (tally.kinds == kEventKinds) {
            k = kEventKinds - 1;
            Fmt(tally.kind[k], "other");
        } else {
            Fmt(tally.kind[k], "%s", e.event);
            ++tally.kinds;
        }
    }
    ++tally.count[k];
}

void read_events(const char *recording, EventTally &tally, const std::function<void(const EventLine &)> &each)
{
    tally = EventTally{};
    const EventFileWalk walk = walk_recording_events(recording, [&](const EventLine &e) {
        tally_event(tally, e);
        each(e);
        return true;
    });
    tally.file = walk.file;
    tally.damaged = walk.damaged;
    tally.unread = walk.unread;
}

void summarise(const RunFacts &facts, Summary &summary)
{
    summary.facts = facts;
    RunSummary &s = summary.figures;
    summary_start(s, facts.interval, facts.high, facts.low);
    summary.end = read_recording(facts.recording, [&s](double t, double v) { summary_add(s, t, v); });
    summary_end(s);
    read_events(facts.recording, summary.events, [](const EventLine &) {});
}
