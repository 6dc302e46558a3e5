#include "summary/run_summary.h"

#include <cstring>

#include "alarm/event_file.h"

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
    char path[kPathSize];
    long long size = 0;
    if (events_beside(recording, path) != 0 || GetFileInfo(path, size) != 1)
        return;
    const int file = OpenFile(path, kOpenRead, kOpenKeep, kOpenText);
    if (file <= 0) {
        tally.file = file;
        return;
    }
    tally.file = 1;
    char line[256];
    for (int lines = 0; lines < kMostEventLinesRead; ++lines) {
        const int length = ReadLine(file, line);
        if (length < 0)
            break;
        EventLine e;
        const int kind = read_event_line(line, length, e);
        if (kind == kEventLineDamaged)
            ++tally.damaged;
        if (kind != kEventLineRead)
            continue;
        tally_event(tally, e);
        each(e);
    }
    tally.unread = CountLinesLeft(file);
    CloseFile(file);
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
