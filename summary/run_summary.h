// A run's summary: its figures from one pass over the recording, and a
// tally of the events in the event file beside it.
#pragma once

#include <functional>

#include "alarm/event_read.h"
#include "summary/recording_pass.h"
#include "summary/run_facts.h"

enum { kEventKinds = 12 };

struct EventTally {
    int file;                // 1 an event file was read, 0 none beside the recording, < 0 not opened
    long long read;          // events read
    long long damaged;       // lines that are no event
    long long unread;        // lines past the first kMostEventLinesRead, counted only
    int kinds;
    char kind[kEventKinds][16];
    long long count[kEventKinds];  // the last kind takes every word past the others
};

struct Summary {
    RunFacts facts;
    RunSummary figures;
    PassEnd end;
    EventTally events;
};

void summarise(const RunFacts &facts, Summary &summary);

// Calls each(event) for every event of the recording's event file, reading
// at most kMostEventLinesRead lines as the viewer does, and tallies them.
void read_events(const char *recording, EventTally &tally, const std::function<void(const EventLine &)> &each);
