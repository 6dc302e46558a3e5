#include "alarm/event_read.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "alarm/event_file.h"
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

static bool is_change(const EventLine &e) { return std::strcmp(e.event, "changed") == 0; }

// The program writes "nan" for the limit of a resumed run and of a change,
// which have none; every other event has its limit.
static bool limit_as_written(const EventLine &e)
{
    return std::isfinite(e.limit) ||
           (std::isnan(e.limit) && (std::strcmp(e.event, "resumed") == 0 || is_change(e)));
}

// The text after the fifth tab; nullptr when the line has fewer.
static const char *after_five_fields(const char *line)
{
    for (int tabs = 0; tabs < 5; ++tabs) {
        line = std::strchr(line, '\t');
        if (line == nullptr)
            return nullptr;
        ++line;
    }
    return line;
}

// One text of a change, up to the next tab or the end, its escapes undone.
// The position after it, or nullptr when it holds an escape write_change
// does not make or does not fit.
static const char *change_text(const char *from, char (&text)[kChangeTextSize])
{
    int n = 0;
    for (; *from != '\0' && *from != '\t'; ++from) {
        char c = *from;
        if (c == '\\') {
            switch (*++from) {
            case '\\': c = '\\'; break;
            case 't': c = '\t'; break;
            case 'r': c = '\r'; break;
            case 'n': c = '\n'; break;
            default: return nullptr;
            }
        }
        if (n + 1 >= kChangeTextSize)
            return nullptr;
        text[n++] = c;
    }
    text[n] = '\0';
    return from;
}

// The four texts after a change's five fields, and nothing after them; the
// setting's name is never empty.
static bool change_texts(const char *tail, EventLine &e)
{
    char(*const texts[])[kChangeTextSize] = {&e.user, &e.what, &e.was, &e.now};
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && *tail++ != '\t')
            return false;
        tail = change_text(tail, *texts[i]);
        if (tail == nullptr)
            return false;
    }
    return *tail == '\0' && e.what[0] != '\0';
}

// The fields scanned, 6 when something follows the five: a sixth field, or
// the tail of a number ("1.5x").
static int five_fields(const char *text, char (&time)[40], EventLine &e)
{
    char rest[2];
    return Scan(text, "%s %f %s %f %f %s", time, e.elapsed, e.event, e.value, e.limit, rest);
}

int read_event_line(const char *line, int length, EventLine &e)
{
    // Whatever follows a NUL byte would go unseen by the scan below.
    if (length < 0 || std::strlen(line) != static_cast<std::size_t>(length))
        return kEventLineDamaged;
    char first[2];
    if (Scan(line, "%s", first) != 1)
        return kEventLineBlank;
    char time[40];
    EventLine read;
    read.event[0] = '\0';
    int fields = five_fields(line, time, read);
    // A change has its four texts after a fifth tab, and the text before
    // that tab is the five fields alone.
    if (fields == 6 && is_change(read)) {
        const char *tail = after_five_fields(line);
        char head[128];
        const std::size_t size = tail != nullptr ? static_cast<std::size_t>(tail - 1 - line) : sizeof head;
        if (size >= sizeof head || !change_texts(tail, read))
            return kEventLineDamaged;
        std::memcpy(head, line, size);
        head[size] = '\0';
        fields = five_fields(head, time, read);
    } else if (is_change(read)) {
        return kEventLineDamaged;
    }
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

EventFileWalk walk_recording_events(const char *recording, const std::function<bool(const EventLine &)> &each)
{
    EventFileWalk walk = {0, 0, 0};
    char path[kPathSize];
    long long size = 0;
    if (events_beside(recording, path) != 0 || GetFileInfo(path, size) != 1)
        return walk;
    const int file = OpenFile(path, kOpenRead, kOpenKeep, kOpenText);
    if (file <= 0) {
        walk.file = file;
        return walk;
    }
    walk.file = 1;
    char line[kEventLineSize];
    for (int lines = 0; lines < kMostEventLinesRead; ++lines) {
        const int length = ReadLine(file, line);
        if (length < 0)
            break;
        EventLine e;
        const int kind = read_event_line(line, length, e);
        if (kind == kEventLineDamaged)
            ++walk.damaged;
        if (kind == kEventLineRead && !each(e))
            break;
    }
    walk.unread = CountLinesLeft(file);
    CloseFile(file);
    return walk;
}
