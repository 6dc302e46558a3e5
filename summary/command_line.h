// The summary, the CSV export and the report of a stored recording from
// the command line, without a window, for the lab's scripts:
//   vandrel [--profile NAME] --summary FILE
//   vandrel [--profile NAME] --export-csv FILE OUT
//   vandrel [--profile NAME] --report FILE OUT.pdf [--letter | --a4]
// The quantity and the limits are those of the analyser's settings (its
// name with --profile).
#pragma once

enum SummaryTaskKind { kTaskNamedWrongly = -1, kNoTask = 0, kTaskSummary, kTaskExport, kTaskReport };

// The exit statuses.
enum {
    kTaskDone = 0,         // the whole recording read, the output written
    kTaskPartly = 1,       // written, but the recording holds text that is
                           // not a reading: what follows it is left out
    kTaskBadCommand = 2,   // the command line is not one of the above
    kTaskNoRecording = 4,  // the recording cannot be opened
    kTaskNotWritten = 5,   // the output file cannot be written
};

struct SummaryTask {
    int kind;
    const char *file;
    const char *out;
    int page_size;  // a PageSize; -1: the locale's
    const char *profile;
};

// Which task the command line names, before the engine starts: kNoTask for
// none; kTaskNamedWrongly, said on standard error, for one given wrongly.
// A task runs without a screen (the offscreen platform, unless one is set).
int summary_task_named(int argc, char **argv, SummaryTask &task);
// After the engine has started: does the task, and gives the exit status.
int run_summary_task(const SummaryTask &task);
