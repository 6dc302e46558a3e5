#include "summary/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alarm/alarm_settings.h"
#include "app/panel_ids.h"
#include "app/settings_file.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "summary/csv_export.h"
#include "summary/report.h"
#include "summary/summary_text.h"

static const char kUsage[] =
    "usage: vandrel [--profile NAME] --summary FILE\n"
    "       vandrel [--profile NAME] --export-csv FILE OUT.csv\n"
    "       vandrel [--profile NAME] --report FILE OUT.pdf [--letter | --a4]\n";

static int bad(const char *why)
{
    std::fprintf(stderr, "vandrel: %s\n%s", why, kUsage);
    return kTaskNamedWrongly;
}

int summary_task_named(int argc, char **argv, SummaryTask &task)
{
    task = {kNoTask, nullptr, nullptr, -1, nullptr};
    struct Option {
        const char *name;
        int kind, operands;
    };
    static const Option kOptions[] = {{"--summary", kTaskSummary, 1}, {"--export-csv", kTaskExport, 2},
                                      {"--report", kTaskReport, 2}};
    for (int i = 1; i < argc; ++i)
        for (const Option &o : kOptions)
            if (std::strcmp(argv[i], o.name) == 0)
                task.kind = o.kind;
    if (task.kind == kNoTask)
        return kNoTask;
    for (int i = 1; i < argc; ++i) {
        const Option *named = nullptr;
        for (const Option &o : kOptions)
            if (std::strcmp(argv[i], o.name) == 0)
                named = &o;
        if (named != nullptr) {
            if (task.file != nullptr)
                return bad("one task at a time.");
            if (i + named->operands >= argc)
                return bad("a file is missing.");
            task.file = argv[++i];
            if (named->operands == 2)
                task.out = argv[++i];
        } else if (std::strcmp(argv[i], "--profile") == 0 && i + 1 < argc && task.profile == nullptr) {
            task.profile = argv[++i];
            if (ProfileNameFault(task.profile) != nullptr)
                return bad("the analyser name is not one the program takes.");
        } else if (task.kind == kTaskReport && std::strcmp(argv[i], "--letter") == 0) {
            task.page_size = kPageLetter;
        } else if (task.kind == kTaskReport && std::strcmp(argv[i], "--a4") == 0) {
            task.page_size = kPageA4;
        } else {
            return bad("the program does not take that here.");
        }
    }
#ifndef _WIN32
    // A script may run where no desktop is: the report draws all the same.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    return task.kind;
}

static int said(const char *what, const char *path, int status)
{
    std::fprintf(stderr, "vandrel: %s: %s\n", path, what);
    return status;
}

static int partly(const SummaryTask &task)
{
    return said("holds text that is not a reading; what follows it is left out", task.file, kTaskPartly);
}

int run_summary_task(const SummaryTask &task)
{
    if (task.profile != nullptr)
        SelectProfile(task.profile);
    settings_load();
    alarm_settings_load();
    RunFacts facts;
    facts_of_recording(task.file, facts);
    if (task.kind == kTaskExport) {
        // One pass, the export's own: no summary is asked for.
        const CsvExport done = export_csv(facts, task.out);
        if (done.end.opened <= 0)
            return said(open_failure_text(done.end.opened), task.file, kTaskNoRecording);
        if (done.written != 0)
            return said("cannot be written", task.out, kTaskNotWritten);
        return done.end.lines_left > 0 ? partly(task) : kTaskDone;
    }
    Summary summary;
    summarise(facts, summary);
    if (summary.end.opened <= 0)
        return said(open_failure_text(summary.end.opened), task.file, kTaskNoRecording);
    if (task.kind == kTaskSummary) {
        SummaryTexts texts;
        summary_texts(summary, texts);
        for (int f = 0; f < kSummaryFields; ++f)
            std::printf("%s: %s\n", summary_label(f), texts.text[f]);
    } else {
        const int panel = LoadPanel(0, kPanelFile, kSummaryPanel);
        draw_for_report(summary, panel, kSummaryGraph);
        const int page = task.page_size >= 0 ? task.page_size : DefaultPageSize();
        if (write_report(summary, task.out, page, panel, kSummaryGraph) != 0)
            return said("cannot be written", task.out, kTaskNotWritten);
    }
    return summary.end.lines_left > 0 ? partly(task) : kTaskDone;
}
