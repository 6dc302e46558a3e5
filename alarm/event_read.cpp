#include "alarm/event_read.h"

#include <cctype>
#include <cmath>

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

int read_event_line(const char *line, EventLine &e)
{
    char first[2];
    if (Scan(line, "%s", first) != 1)
        return kEventLineBlank;
    char time[40], rest[2];
    EventLine read;
    // A sixth field, or the tail of a number ("1.5x"), is damage.
    const int fields = Scan(line, "%s %f %s %f %f %s", time, read.elapsed, read.event, read.value, read.limit, rest);
    if (fields != 5 || !iso_time(time) || !event_word(read.event) || !std::isfinite(read.elapsed) ||
        read.elapsed < 0 || !std::isfinite(read.limit))
        return kEventLineDamaged;
    e = read;
    return kEventLineRead;
}
