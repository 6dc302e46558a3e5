#include "summary/report.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "alarm/number_text.h"
#include "record/run_file.h"
#include "record/verify.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "summary/summary_text.h"

namespace {

// Events listed on paper; the summary counts the rest.
constexpr int kEventsListed = 500;
// Points the command line's graph draws, as many as the viewer's at most.
constexpr int kGraphPoints = 999;

// Every n-th reading, n doubled whenever the points fill up: an even
// spread over a recording whose length nobody knows before the end.
struct Thinned {
    double t[2 * kGraphPoints], y[2 * kGraphPoints];
    int points = 0;
    long long every = 1, seen = 0;
    void add(double time, double value)
    {
        if (seen++ % every != 0)
            return;
        if (points == 2 * kGraphPoints) {
            for (int i = 0; i < kGraphPoints; ++i) {
                t[i] = t[2 * i];
                y[i] = y[2 * i];
            }
            points = kGraphPoints;
            every *= 2;
            if ((seen - 1) % every != 0)
                return;
        }
        t[points] = time;
        y[points] = value;
        ++points;
    }
};

void limit_level(int panel, int control, const LimitWatch &w, const char *side, const char *unit)
{
    if (!w.on)
        return;
    char number[32], label[64];
    number_text(w.limit, number);
    Fmt(label, "%s %s %s", side, number, unit);
    AddGraphLevel(panel, control, w.limit, label, kColourRed);
}

}  // namespace

void draw_for_report(const Summary &summary, int panel, int control)
{
    auto thinned = std::make_unique<Thinned>();
    read_recording(summary.facts.recording, [&thinned](double t, double v) { thinned->add(t, v); });
    DeleteGraphPlot(panel, control, kAllPlots, 0);
    DeleteGraphMark(panel, control, kAllMarks);
    SetAxisScalingMode(panel, control, kAxisTime, kScaleAuto, 0, 100);
    SetAxisScalingMode(panel, control, kAxisY, kScaleAuto, 0, 100);
    PlotXY(panel, control, thinned->t, thinned->y, thinned->points, kTypeDouble, kTypeDouble, kPlotThinLine,
           kPointNone, kLineSolid, 1, kColourNavy);
    // Level labels are Windows-1252, as the chart's own are.
    const char *unit = summary.facts.quantity == 3 ? "\260C" : unit_of(summary.facts.quantity);
    limit_level(panel, control, summary.figures.high, "HIGH", unit);
    limit_level(panel, control, summary.figures.low, "LOW", unit);
}

static std::string limits_line(const Summary &summary)
{
    const char *unit = unit_of(summary.facts.quantity);
    char high[32], low[32], line[160];
    number_text(summary.facts.high.limit, high);
    number_text(summary.facts.low.limit, low);
    Fmt(line, "Limits (%s): high %s%s%s, low %s%s%s\n",
        summary.facts.running    ? "in force now"
        : summary.facts.run_file ? "in force at the start"
                                 : "in force in the program now; the recording has no run file",
        summary.facts.high.on ? high : "off", summary.facts.high.on ? " " : "", summary.facts.high.on ? unit : "",
        summary.facts.low.on ? low : "off", summary.facts.low.on ? " " : "", summary.facts.low.on ? unit : "");
    return line;
}

// The run file's fields where the recording has one; what the program
// takes for them where it has not.
static std::string particulars(const Summary &summary)
{
    std::string text = "Recording: ";
    text.append(summary.facts.recording).append("\n");
    char path[kPathSize], line[2 * kPathSize + 80];
    RunInfo info;
    const bool stored = summary.facts.run_file && run_file_beside(summary.facts.recording, path) == 0 &&
                        read_run_file(path, info) == kRunFileRead;
    if (stored) {
        text.append("Started: ").append(info.start_local).append(" (").append(info.zone).append(")\n");
        text.append("Quantity: ").append(info.quantity).append(" (").append(info.unit).append(")\n");
        Fmt(line, "Interval: %f[r] s; port %d (%s)\n", info.interval, info.port, info.device.c_str());
        text += line;
        text.append("Computer: ").append(info.computer).append("; user: ").append(info.user);
        text.append("; Vandrel ").append(info.version).append("\n");
        if (!info.resumed_from.empty()) {
            Fmt(line, "Resumes the run of %s after %f[p1] s\n", info.resumed_from.c_str(), info.resume_gap);
            text += line;
        }
    } else {
        char interval[48];
        seconds_text(summary.figures.interval, interval);
        Fmt(line, "Quantity: %s (%s), as selected in the program now\nInterval: %s (found from the readings)\n",
            quantity_name(summary.facts.quantity), unit_of(summary.facts.quantity), interval);
        text += line;
    }
    text += limits_line(summary);
    const Verdict verdict = verify_recording(summary.facts.recording);
    text.append("Seal: ").append(verdict.text).append("\n");
    char host[64] = "", user[64] = "", now[40] = "";
    GetHostName(host);
    GetUserAccount(user);
    GetIsoTime(now, 0);
    Fmt(line, "Report written %s on %s by %s\n", now, host, user);
    return text + line;
}

static std::string event_lines(const Summary &summary)
{
    std::string text;
    EventTally tally;
    int listed = 0;
    read_events(summary.facts.recording, tally, [&](const EventLine &e) {
        if (listed++ >= kEventsListed)
            return;
        char value[32], limit[32], line[4 * kChangeTextSize + 80];
        number_text(e.value, value);
        number_text(e.limit, limit);
        // An audit line says who changed what; the others their value and limit.
        if (std::strcmp(e.event, "changed") == 0)
            Fmt(line, "%f[p1w12] s  changed  %s: %s -> %s (%s)\n", e.elapsed, e.what, e.was, e.now, e.user);
        else
            Fmt(line, "%f[p1w12] s  %s  %s  %s\n", e.elapsed, e.event, std::isnan(e.value) ? "-" : value,
                std::isnan(e.limit) ? "-" : limit);
        text += line;
    });
    if (listed > kEventsListed) {
        char line[80];
        Fmt(line, "... and %d more (see the summary).\n", listed - kEventsListed);
        text += line;
    }
    return text.empty() ? "None.\n" : text;
}

int write_report(const Summary &summary, const char *out, int page_size, int panel, int graph)
{
    const int doc = NewPdfDocument(out, page_size, "Vandrel report");
    if (doc < 0)
        return doc;
    SummaryTexts texts;
    summary_texts(summary, texts);
    std::string figures;
    for (int f = kFieldReadings; f < kSummaryFields; ++f)
        figures.append(summary_label(f)).append(": ").append(texts.text[f]).append("\n");
    int failed = 0;
    for (const int result : {AddPdfHeading(doc, "Vandrel: report of a recording"),
                             AddPdfText(doc, particulars(summary).c_str(), 0), AddPdfGraph(doc, panel, graph),
                             AddPdfHeading(doc, "Summary"), AddPdfText(doc, figures.c_str(), 0),
                             AddPdfHeading(doc, "Events and audit lines"), AddPdfText(doc, event_lines(summary).c_str(), 1)})
        if (result < 0 && failed == 0)
            failed = result;
    const int closed = ClosePdfDocument(doc);
    if (failed != 0 || closed != 0) {
        RemoveFile(out);
        return failed != 0 ? failed : closed;
    }
    return 0;
}
