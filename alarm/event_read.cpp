#include "alarm/event_read.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "rte/formatio.h"

// "2026-12-10T17:38:26": the date and the time of day, whatever follows.
static bool iso_time(const char *t)
{
    static const char kShape[] = "dddd-dd-ddTdd:dd:dd";
    for (int i = 0; kShape[i] != '\0'; ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(t[i])) != 0;
        if (kShape[i] == 'd' ? !digit : t[i] != kShape[i])
            return false;
    }
    return true;
}

static bool event_word(const char *w)
{
    if (*w == '\0')
        return false;
    for (; *w != '\0'; ++w)
        if (!std::islower(static_cast<unsigned char>(*w)) && *w != '_')
            return false;
    return true;
}

// The program writes "nan" for the limit of a resumed run, which has none;
// every other event has its limit.
static bool limit_as_written(const EventLine &e)
{
    return std::isfinite(e.limit) || (std::isnan(e.limit) && std::strcmp(e.event, "resumed") == 0);
}

int read_event_line(const char *line, int length, EventLine &e)
{
    // Whatever follows a NUL byte would go unseen by the scan below.
    if (length < 0 || std::strlen(line) != static_cast<std::size_t>(length))
        return kEventLineDamaged;
    char first[2];
    if (Scan(line, "%s", first) != 1)
        return kEventLineBlank;
    char time[40], rest[2];
    EventLine read;
    // A sixth field, or the tail of a number ("1.5x"), is damage.
    const int fields = Scan(line, "%s %f %s %f %f %s", time, read.elapsed, read.event, read.value, read.limit, rest);
    if (fields != 5 || !iso_time(time) || !event_word(read.event) || !std::isfinite(read.elapsed) ||
        read.elapsed < 0 || !limit_as_written(read))
        return kEventLineDamaged;
    e = read;
    return kEventLineRead;
}

// A count of lines: a double holds any a file can have, to the line.
static void count_text(long long count, char (&text)[32])
{
    Fmt(text, "%f[p0]", static_cast<double>(count));
}

void event_note(const EventCount &count, char (&note)[kEventNoteSize])
{
    char damaged[32], unread[32], damage[90] = "", more[110] = "";
    count_text(count.damaged, damaged);
    count_text(count.unread, unread);
    if (count.damaged > 0)
        Fmt(damage, "%s line%s of the event file could not be read.", damaged, count.damaged == 1 ? "" : "s");
    if (count.unread > 0 && count.drawn == kMostEventsDrawn)
        Fmt(more, "Only the first %d events are drawn; the %s line%s after them %s not read.",
            static_cast<int>(kMostEventsDrawn), unread, count.unread == 1 ? "" : "s",
            count.unread == 1 ? "is" : "are");
    else if (count.unread > 0)
        Fmt(more, "Only the first %d lines of the event file are read; %s more %s not.",
            static_cast<int>(kMostEventLinesRead), unread, count.unread == 1 ? "is" : "are");
    Fmt(note, "%s%s%s", damage, damage[0] != '\0' && more[0] != '\0' ? "\n" : "", more);
}
