// A summary in words, field by field, as the Summary panel, the report and
// the command line show it.  Texts are UTF-8.
#pragma once

#include "summary/run_summary.h"

enum SummaryField {
    kFieldRecording,
    kFieldReadings,
    kFieldDuration,
    kFieldMinimum,
    kFieldMaximum,
    kFieldMean,
    kFieldDeviation,
    kFieldHigh,
    kFieldLow,
    kFieldUnanswered,
    kFieldEvents,
    kFieldRead,
    kSummaryFields
};

enum { kSummaryTextSize = kPathSize + 160 };

struct SummaryTexts {
    char text[kSummaryFields][kSummaryTextSize];
};

// "Readings", "Duration", ...: the captions of the panel's fields.
const char *summary_label(int field);
void summary_texts(const Summary &summary, SummaryTexts &texts);
// "12.0 s" and, from a minute on, "(1 d 02:03:04)".
void seconds_text(double seconds, char (&text)[48]);
// What went wrong with opening a file, for a sentence.
const char *open_failure_text(int code);
