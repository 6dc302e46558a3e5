// The figures of a run, gathered reading by reading in one pass: how many,
// over how long, the least and the greatest with their times, the mean and
// the standard deviation, the time beyond each limit with its excursions,
// and the readings the recording cannot vouch for.
#pragma once

// One limit as the summary judges it: a high limit is passed by a reading
// above it, a low one by a reading below it, as the alarm check has it.
struct LimitWatch {
    int on;
    double limit;
    // Seconds beyond the limit: each excursion runs from its first reading
    // beyond to the first reading back inside (or to the last reading, for
    // one that lasts to the end of the run).
    double time_beyond;
    long long excursions;
    double longest;
    // Inside the pass: the time the excursion going on began, or -1 for none.
    double since;
};

struct RunSummary {
    long long readings;       // lines read, numbers or not
    long long numbers;        // readings with a finite value
    long long not_numbers;    // nan or infinity: a value the analyser did not give
    double first_time, last_time;
    double min, min_time, max, max_time;
    double mean;
    double deviation;         // standard deviation of the finite values, n - 1
    // Cycles that left no line: a step in elapsed time of more than one
    // and a half intervals counts the intervals it leaves out.
    double interval;          // the run's interval; 0 until known
    long long gaps;           // steps that leave cycles out
    long long missing;        // cycles left out in them
    double longest_gap;       // seconds of the longest step
    LimitWatch high, low;
    // Inside the pass.
    double sum_of_squares;
    double previous_time;
    double steps[31];         // the first steps, to find the interval by
    int step_count;
};

// Starts a summary; an interval of 0 is found from the readings' steps
// (the middle of the first 31).
void summary_start(RunSummary &s, double interval, const LimitWatch &high, const LimitWatch &low);
void summary_add(RunSummary &s, double elapsed, double value);
// Closes an excursion still going on at the last reading.
void summary_end(RunSummary &s);

// The mean and the deviation of an empty run, and the times of what was
// never seen, are nan.
inline double duration_of(const RunSummary &s) { return s.readings > 0 ? s.last_time - s.first_time : 0; }
