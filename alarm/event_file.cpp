#include "alarm/event_file.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "files/file_name.h"
#include "rte/formatio.h"
#include "rte/utility.h"

static bool same_letters(const char *a, const char *b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// A recording whose extension is ".events" already (in any case, as Windows
// names go) keeps it, and gets another, so that the events never go into
// the recording itself.
int events_beside(const char *name, char (&path)[kPathSize])
{
    static const char kExtension[] = ".events";
    const char *ext = name_extension(name);
    const bool replaced = *ext != '\0' && !same_letters(ext, kExtension);
    const std::size_t stem = replaced ? static_cast<std::size_t>(ext - name) : std::strlen(name);
    if (stem + sizeof kExtension > kPathSize)
        return -1;
    std::memcpy(path, name, stem);
    std::memcpy(path + stem, kExtension, sizeof kExtension);
    return 0;
}

int event_path(char (&path)[kPathSize])
{
    if (state.recording != 0 && events_beside(state.log_path, path) == 0)
        return 0;
    char now[40], name[40], dir[kPathSize];
    // The day of the local time: the operator's day, not UTC's.
    if (GetIsoTime(now, 0) != 0 || GetSettingsDir(dir) != 0)
        return -1;
    now[10] = '\0';
    Fmt(name, "vandrel-events-%s.events", now);
    return MakePathname(dir, name, path) == 0 ? 0 : -1;
}

// One line with the five fields, and `more` (tab-led fields, or nothing)
// after them.
static int write_line(const char *event, double value, double limit, double elapsed, const char *more)
{
    char path[kPathSize], now[40];
    if (event_path(path) != 0 || GetIsoTime(now, 0) != 0)
        return -1;
    // Opened for each line: events are rare, and a file that is never held
    // open survives the recording being stopped, moved or ended.
    const int file = OpenFile(path, kOpenWrite, kOpenAppend, kOpenText);
    if (file <= 0)
        return -1;
    const int written =
        FmtFile(file, "%s\t%f[p1]\t%s\t%f[e2]\t%f[e2]%s\n", now, elapsed, event, value, limit, more);
    CloseFile(file);
    return written < 0 ? -1 : 0;
}

int write_event(const char *event, double value, double limit, double elapsed)
{
    return write_line(event, value, limit, elapsed, "");
}

// A tab, then the text with what would end the field or the line escaped.
static void add_field(std::string &line, const char *text)
{
    line += '\t';
    for (; *text != '\0'; ++text) {
        switch (*text) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\r': line += "\\r"; break;
        case '\n': line += "\\n"; break;
        default: line += *text;
        }
    }
}

int write_change(const char *user, const char *what, const char *was, const char *now, double elapsed)
{
    std::string more;
    for (const char *text : {user, what, was, now})
        add_field(more, text);
    return write_line("changed", std::nan(""), std::nan(""), elapsed, more.c_str());
}
