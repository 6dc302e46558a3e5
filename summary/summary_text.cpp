#include "summary/summary_text.h"

#include <cmath>

#include "alarm/number_text.h"

const char *summary_label(int field)
{
    static const char *const kLabels[kSummaryFields] = {
        "Recording", "Readings", "Duration",  "Minimum",           "Maximum", "Mean",
        "Standard deviation", "High limit", "Low limit", "Without an answer", "Events", "Read",
    };
    return field >= 0 && field < kSummaryFields ? kLabels[field] : "";
}

// Counts as a double holds them: any a file can have, to the unit.
static void count_text(long long count, char (&text)[32])
{
    Fmt(text, "%f[p0]", static_cast<double>(count));
}

void seconds_text(double seconds, char (&text)[48])
{
    if (!std::isfinite(seconds)) {
        Fmt(text, "-");
        return;
    }
    if (std::fabs(seconds) < 60 || std::fabs(seconds) >= 1e12) {
        Fmt(text, "%f[p1] s", seconds);
        return;
    }
    const long long whole = std::llround(std::fabs(seconds));
    const int days = static_cast<int>(whole / 86400);
    const int h = static_cast<int>(whole / 3600 % 24), m = static_cast<int>(whole / 60 % 60),
              s = static_cast<int>(whole % 60);
    char clock[24];
    Fmt(clock, "%d%d:%d%d:%d%d", h / 10, h % 10, m / 10, m % 10, s / 10, s % 10);
    if (days > 0)
        Fmt(text, "%f[p1] s (%d d %s)", seconds, days, clock);
    else
        Fmt(text, "%f[p1] s (%s)", seconds, clock);
}

const char *open_failure_text(int code)
{
    switch (code) {
    case kFileNotFound:
        return "it is not there";
    case kFileAccessDenied:
        return "no permission to read it, or it is a folder";
    case kFileTooManyOpen:
        return "too many files are open";
    default:
        return "the system could not open it";
    }
}

// "12.5 ppm at 30.0 s"; "none" for a run without a number.
static void value_at(double value, double at, const char *unit, char (&text)[kSummaryTextSize])
{
    if (std::isnan(value)) {
        Fmt(text, "none");
        return;
    }
    char number[32], when[48];
    number_text(value, number);
    seconds_text(at, when);
    Fmt(text, "%s %s at %s", number, unit, when);
}

static void value_only(double value, const char *unit, char (&text)[kSummaryTextSize])
{
    char number[32];
    number_text(value, number);
    if (std::isnan(value))
        Fmt(text, "none");
    else
        Fmt(text, "%s %s", number, unit);
}

static void limit_text(const LimitWatch &w, const char *side, const char *unit, char (&text)[kSummaryTextSize])
{
    if (!w.on) {
        Fmt(text, "off");
        return;
    }
    char limit[32], count[32], total[48], longest[48];
    number_text(w.limit, limit);
    if (w.excursions == 0) {
        Fmt(text, "%s %s: never %s it", limit, unit, side);
        return;
    }
    count_text(w.excursions, count);
    seconds_text(w.time_beyond, total);
    seconds_text(w.longest, longest);
    Fmt(text, "%s %s: %s %s it in %s excursion%s, the longest %s", limit, unit, total, side, count,
        w.excursions == 1 ? "" : "s", longest);
}

static void unanswered_text(const RunSummary &s, char (&text)[kSummaryTextSize])
{
    char count[32], missing[32], gaps[32], longest[48], interval[48];
    count_text(s.not_numbers, count);
    count_text(s.missing, missing);
    count_text(s.gaps, gaps);
    seconds_text(s.longest_gap, longest);
    seconds_text(s.interval, interval);
    char numbers[80] = "", cycles[200] = "";
    if (s.not_numbers > 0)
        Fmt(numbers, "%s reading%s not a number", count, s.not_numbers == 1 ? "" : "s");
    if (s.missing > 0)
        Fmt(cycles, "%s cycle%s missing in %s gap%s, the longest %s (interval %s)", missing,
            s.missing == 1 ? "" : "s", gaps, s.gaps == 1 ? "" : "s", longest, interval);
    if (numbers[0] == '\0' && cycles[0] == '\0')
        Fmt(text, "none");
    else
        Fmt(text, "%s%s%s", numbers, numbers[0] != '\0' && cycles[0] != '\0' ? "; " : "", cycles);
}

static void events_text(const EventTally &e, char (&text)[kSummaryTextSize])
{
    if (e.file == 0) {
        Fmt(text, "no event file");
        return;
    }
    if (e.file < 0) {
        Fmt(text, "the event file cannot be opened: %s", open_failure_text(e.file));
        return;
    }
    text[0] = '\0';
    for (int k = 0; k < e.kinds; ++k) {
        char count[32];
        count_text(e.count[k], count);
        Fmt(text, "%s%s%s %s", text, k > 0 ? ", " : "", count, e.kind[k]);
    }
    if (e.kinds == 0)
        Fmt(text, "none");
    char damaged[32], unread[32];
    count_text(e.damaged, damaged);
    count_text(e.unread, unread);
    if (e.damaged > 0)
        Fmt(text, "%s; %s line%s could not be read", text, damaged, e.damaged == 1 ? "" : "s");
    if (e.unread > 0)
        Fmt(text, "%s; %s line%s after the first %d not read", text, unread, e.unread == 1 ? "" : "s",
            static_cast<int>(kMostEventLinesRead));
}

void summary_texts(const Summary &summary, SummaryTexts &texts)
{
    const RunSummary &s = summary.figures;
    const char *unit = unit_of(summary.facts.quantity);
    auto &t = texts.text;
    Fmt(t[kFieldRecording], "%s%s", summary.facts.recording, summary.facts.running ? " (the run going on)" : "");
    char count[32], numbers[32];
    count_text(s.readings, count);
    count_text(s.numbers, numbers);
    Fmt(t[kFieldReadings], "%s", count);
    char length[48];
    seconds_text(duration_of(s), length);
    if (s.readings > 0)
        Fmt(t[kFieldDuration], "%s, from %f[p1] s to %f[p1] s", length, s.first_time, s.last_time);
    else
        Fmt(t[kFieldDuration], "none");
    value_at(s.min, s.min_time, unit, t[kFieldMinimum]);
    value_at(s.max, s.max_time, unit, t[kFieldMaximum]);
    value_only(s.mean, unit, t[kFieldMean]);
    value_only(s.deviation, unit, t[kFieldDeviation]);
    limit_text(s.high, "above", unit, t[kFieldHigh]);
    limit_text(s.low, "below", unit, t[kFieldLow]);
    unanswered_text(s, t[kFieldUnanswered]);
    events_text(summary.events, t[kFieldEvents]);
    char left[32];
    count_text(summary.end.lines_left, left);
    if (summary.end.opened <= 0)
        Fmt(t[kFieldRead], "The recording cannot be opened: %s.", open_failure_text(summary.end.opened));
    else if (summary.end.lines_left > 0)
        Fmt(t[kFieldRead], "Up to text that is not a reading; the last %s line%s of the file %s not read.", left,
            summary.end.lines_left == 1 ? "" : "s", summary.end.lines_left == 1 ? "is" : "are");
    else
        Fmt(t[kFieldRead], "The whole file.");
}
