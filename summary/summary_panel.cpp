#include "summary/summary_panel.h"

#include <cstring>
#include <memory>

#include "app/panel_ids.h"
#include "app/profile.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "summary/csv_export.h"
#include "summary/report.h"
#include "summary/summary_text.h"

int summary_panel;
// The recording the panel shows, and the one export and report take.
static Summary shown;
static int has_shown;

static const int kFieldControls[kSummaryFields] = {
    kSummaryRecording, kSummaryReadings, kSummaryDuration, kSummaryMinimum, kSummaryMaximum,  kSummaryMean,
    kSummaryDeviation, kSummaryHigh,     kSummaryLow,      kSummaryUnanswered, kSummaryEvents, kSummaryRead,
};

static void load_panel()
{
    if (summary_panel > 0)
        return;
    summary_panel = LoadPanel(0, kPanelFile, kSummaryPanel);
    show_analyser(summary_panel);
}

static void status(const char *text) { SetCtrlVal(summary_panel, kSummaryStatus, text); }

// The whole file is read: busy for a moment on a recording of a gigabyte.
static void sum_up(const RunFacts &facts)
{
    load_panel();
    SetWaitCursor(1);
    summarise(facts, shown);
    draw_for_report(shown, summary_panel, kSummaryGraph);
    SetWaitCursor(0);
    has_shown = 1;
    SummaryTexts texts;
    summary_texts(shown, texts);
    for (int f = 0; f < kSummaryFields; ++f)
        SetCtrlVal(summary_panel, kFieldControls[f], texts.text[f]);
    status(shown.end.opened <= 0 ? texts.text[kFieldRead] : "");
}

// A dialog open during a run holds up its cycles, as every popup does: the
// run going on is summed up without one, anything else waits for its end.
static int dialog_allowed()
{
    if (!state.running)
        return 1;
    load_panel();
    status("Not during a run: a file dialog would hold up its readings. Stop the run first.");
    DisplayPanel(summary_panel);
    return 0;
}

static int choose_recording(RunFacts &facts)
{
    if (!dialog_allowed())
        return 0;
    char path[kPathSize];
    if (FileSelectPopup("", "*.dat", "*.dat", "Recording to sum up", kLabelLoad, 0, 1, 1, 0, path) !=
        kSelectionExisting)
        return 0;
    facts_of_recording(path, facts);
    return 1;
}

// The run going on with its recording; otherwise the file the main panel
// names, the stored recording drawn or the last run's; otherwise one the
// operator chooses.
static int subject(RunFacts &facts)
{
    char file[kPathSize];
    GetCtrlVal(state.main_panel, kMainFile, file);
    if (state.running && state.recording) {
        facts_of_run(facts);
    } else if (state.view_path[0] != '\0' && std::strcmp(file, state.view_path) == 0) {
        facts_of_recording(state.view_path, facts);
    } else if (state.log_path[0] != '\0' && std::strcmp(file, state.log_path) == 0) {
        facts_of_run(facts);
    } else {
        return choose_recording(facts);
    }
    return 1;
}

static int sum_up_subject()
{
    RunFacts facts;
    if (!subject(facts))
        return 0;
    sum_up(facts);
    return 1;
}

void summary_menu(int, int, void *, int)
{
    if (sum_up_subject())
        DisplayPanel(summary_panel);
}

int summary_other(int, int, int event, void *, int, int)
{
    RunFacts facts;
    if (event == kEventCommit && choose_recording(facts))
        sum_up(facts);
    return 0;
}

// A name in the same folder as the recording, with the extension given.
static int save_as(const char *extension, const char *title, char (&path)[kPathSize])
{
    char pattern[16];
    Fmt(pattern, "*.%s", extension);
    for (;;) {
        const int chosen = FileSelectPopup("", pattern, pattern, title, kLabelSave, 0, 1, 1, 1, path);
        if (chosen == kSelectionNew)
            return 1;
        if (chosen != kSelectionExisting)
            return 0;
        if (ConfirmPopup("File already exists !", "Do you want to overwrite it ?") != 0)
            return 1;
    }
}

static void say(const char *text)
{
    if (summary_panel > 0)
        status(text);
    PathMessagePopup("Summary", text);
}

static void export_shown()
{
    char path[kPathSize], text[2 * kPathSize + 120];
    if (!dialog_allowed() || !save_as("csv", "Export CSV", path))
        return;
    SetWaitCursor(1);
    const CsvExport done = export_csv(shown.facts, path);
    SetWaitCursor(0);
    char rows[32];
    Fmt(rows, "%f[p0]", static_cast<double>(done.rows));
    if (done.written != 0)
        Fmt(text, "%s was not written: %s.", path,
            done.end.opened <= 0 ? "the recording cannot be read" : "the file cannot be written (is the disk full?)");
    else if (done.end.lines_left > 0)
        Fmt(text, "%s holds %s readings: the recording has text that is not a reading, and its rest is not exported.",
            path, rows);
    else
        Fmt(text, "%s holds %s readings.", path, rows);
    say(text);
}

static void report_shown()
{
    char path[kPathSize], text[kPathSize + 120];
    if (!dialog_allowed() || !save_as("pdf", "Report", path))
        return;
    SetWaitCursor(1);
    const int written = write_report(shown, path, DefaultPageSize(), summary_panel, kSummaryGraph);
    SetWaitCursor(0);
    if (written != 0)
        Fmt(text, "%s was not written: the file cannot be written there.", path);
    else
        Fmt(text, "The report is written to %s.", path);
    say(text);
}

void export_menu(int, int, void *, int)
{
    if (sum_up_subject())
        export_shown();
}

void report_menu(int, int, void *, int)
{
    if (sum_up_subject())
        report_shown();
}

int summary_export(int, int, int event, void *, int, int)
{
    if (event == kEventCommit && has_shown)
        export_shown();
    return 0;
}

int summary_report(int, int, int event, void *, int, int)
{
    if (event == kEventCommit && has_shown)
        report_shown();
    return 0;
}

int summary_close(int panel, int event, void *, int, int)
{
    if (event == kEventClose)
        HidePanel(panel);
    return 0;
}
