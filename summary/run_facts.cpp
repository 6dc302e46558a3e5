#include "summary/run_facts.h"

#include <cmath>
#include <cstring>

#include "alarm/alarm_settings.h"
#include "record/run_file.h"
#include "rte/formatio.h"
#include "summary/clock_text.h"

static const char *const kQuantityWords[3] = {"oxygen", "voltage", "temperature"};

static int known_quantity(int quantity) { return quantity >= 1 && quantity <= 3 ? quantity : 1; }

static void limits_in_force(RunFacts &facts)
{
    const Limits &l = alarm_settings.limits[facts.quantity - 1];
    facts.high = {l.high_on, l.high, 0, 0, 0, -1};
    facts.low = {l.low_on, l.low, 0, 0, 0, -1};
}

static int quantity_named(const std::string &name)
{
    for (int q = 1; q <= 3; ++q)
        if (name == kQuantityWords[q - 1])
            return q;
    return 0;
}

// What the run file says; a file that does not read says nothing.
static void facts_of_run_file(RunFacts &facts)
{
    char path[kPathSize];
    RunInfo info;
    if (run_file_beside(facts.recording, path) != 0 || read_run_file(path, info) != kRunFileRead)
        return;
    facts.run_file = 1;
    if (const int q = quantity_named(info.quantity))
        facts.quantity = q;
    if (info.interval > 0 && std::isfinite(info.interval))
        facts.interval = info.interval;
    facts.high = {info.high_on, info.high, 0, 0, 0, -1};
    facts.low = {info.low_on, info.low, 0, 0, 0, -1};
    int offset = 0;
    facts.start = utc_seconds(info.start_utc.c_str());
    if (offset_minutes(info.utc_offset.c_str(), offset))
        facts.offset = offset;
    else
        facts.start = std::nan("");
}

void facts_of_recording(const char *recording, RunFacts &facts)
{
    facts = RunFacts{};
    Fmt(facts.recording, "%s", recording);
    facts.quantity = known_quantity(settings.mode);
    limits_in_force(facts);
    facts_of_run_file(facts);
}

void facts_of_run(RunFacts &facts)
{
    facts_of_recording(state.log_path, facts);
    if (facts.interval <= 0)
        facts.interval = settings.interval;
    facts.running = state.running;
    if (facts.running)
        limits_in_force(facts);
}

const char *unit_of(int quantity)
{
    static const char *const kUnits[3] = {"ppm", "mV", "\u00b0C"};
    return kUnits[known_quantity(quantity) - 1];
}

const char *quantity_name(int quantity)
{
    static const char *const kNames[3] = {"Oxygen", "Cell voltage", "Cell temperature"};
    return kNames[known_quantity(quantity) - 1];
}
