#include "summary/statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

static const double kNan = std::numeric_limits<double>::quiet_NaN();

void summary_start(RunSummary &s, double interval, const LimitWatch &high, const LimitWatch &low)
{
    s = RunSummary{};
    s.first_time = s.last_time = s.previous_time = kNan;
    s.min = s.min_time = s.max = s.max_time = s.mean = s.deviation = kNan;
    s.interval = interval > 0 && std::isfinite(interval) ? interval : 0;
    s.high = {high.on, high.limit, 0, 0, 0, -1};
    s.low = {low.on, low.limit, 0, 0, 0, -1};
}

static bool beyond(const LimitWatch &w, bool high, double value)
{
    return high ? value > w.limit : value < w.limit;
}

static void close_excursion(LimitWatch &w, double at)
{
    const double length = std::max(0.0, at - w.since);
    w.time_beyond += length;
    w.longest = std::max(w.longest, length);
    w.since = -1;
}

static void watch(LimitWatch &w, bool high, double elapsed, double value)
{
    if (!w.on)
        return;
    if (beyond(w, high, value)) {
        if (w.since < 0) {
            w.since = elapsed;
            ++w.excursions;
        }
    } else if (w.since >= 0) {
        close_excursion(w, elapsed);
    }
}

// A step of more than one and a half intervals left cycles out: as many as
// whole intervals fit in it beyond the one a cycle takes.
static void judge_step(RunSummary &s, double step)
{
    if (!(step > 1.5 * s.interval))
        return;
    ++s.gaps;
    s.missing += std::max(1LL, std::llround(step / s.interval) - 1);
    s.longest_gap = std::max(s.longest_gap, step);
}

// The interval as the readings keep it: the middle of the first steps, so
// that a gap or two among them does not pass for the interval.
static void settle_interval(RunSummary &s)
{
    if (s.step_count == 0)
        return;
    double sorted[31];
    std::copy(s.steps, s.steps + s.step_count, sorted);
    std::sort(sorted, sorted + s.step_count);
    s.interval = sorted[s.step_count / 2];
    if (s.interval <= 0)
        return;
    for (int i = 0; i < s.step_count; ++i)
        judge_step(s, s.steps[i]);
}

void summary_add(RunSummary &s, double elapsed, double value)
{
    ++s.readings;
    // A line without a usable time belongs to no moment of the run.
    if (!std::isfinite(elapsed)) {
        ++s.not_numbers;
        return;
    }
    if (std::isnan(s.first_time))
        s.first_time = elapsed;
    if (!std::isnan(s.previous_time)) {
        const double step = elapsed - s.previous_time;
        if (s.interval > 0)
            judge_step(s, step);
        else if (s.step_count < 31) {
            s.steps[s.step_count++] = step;
            if (s.step_count == 31)
                settle_interval(s);
        }
    }
    s.previous_time = s.last_time = elapsed;
    if (!std::isfinite(value)) {
        ++s.not_numbers;
        return;
    }
    ++s.numbers;
    if (s.numbers == 1) {
        s.min = s.max = s.mean = value;
        s.min_time = s.max_time = elapsed;
    } else {
        if (value < s.min) {
            s.min = value;
            s.min_time = elapsed;
        }
        if (value > s.max) {
            s.max = value;
            s.max_time = elapsed;
        }
        // Welford's update: no sum of squares of large numbers to cancel.
        const double before = s.mean;
        s.mean += (value - before) / static_cast<double>(s.numbers);
        s.sum_of_squares += (value - before) * (value - s.mean);
    }
    watch(s.high, true, elapsed, value);
    watch(s.low, false, elapsed, value);
}

void summary_end(RunSummary &s)
{
    if (s.interval <= 0 && s.step_count < 31)
        settle_interval(s);
    for (LimitWatch *w : {&s.high, &s.low})
        if (w->since >= 0)
            close_excursion(*w, s.last_time);
    if (s.numbers > 1)
        s.deviation = std::sqrt(s.sum_of_squares / static_cast<double>(s.numbers - 1));
    else if (s.numbers == 1)
        s.deviation = 0;
}
