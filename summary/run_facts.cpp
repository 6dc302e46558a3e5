#include "summary/run_facts.h"

#include "alarm/alarm_settings.h"
#include "rte/formatio.h"

static int known_quantity(int quantity) { return quantity >= 1 && quantity <= 3 ? quantity : 1; }

static void limits_in_force(RunFacts &facts)
{
    const Limits &l = alarm_settings.limits[facts.quantity - 1];
    facts.high = {l.high_on, l.high, 0, 0, 0, -1};
    facts.low = {l.low_on, l.low, 0, 0, 0, -1};
}

void facts_of_recording(const char *recording, RunFacts &facts)
{
    facts = RunFacts{};
    Fmt(facts.recording, "%s", recording);
    facts.quantity = known_quantity(settings.mode);
    limits_in_force(facts);
}

void facts_of_run(RunFacts &facts)
{
    facts_of_recording(state.log_path, facts);
    facts.interval = settings.interval;
    facts.running = state.running;
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
