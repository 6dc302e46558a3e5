#include "publish/publish.h"

#include <cmath>

#include "app/settings_file.h"
#include "app/state.h"
#include "link/exchange.h"
#include "publish/publish_settings.h"
#include "record/run_file.h"
#include "rte/formatio.h"
#include "rte/mqtt.h"
#include "rte/utility.h"

static int active;
static char reading_topic[kPublishText + 16];
static char alarm_topic[kPublishText + 16];
static char status_topic[kPublishText + 16];
static char dropped_topic[kPublishText + 16];
static char live_topic[kPublishText + 16];
static char seal_topic[kPublishText + 16];

// A JSON number that reads back as the value itself, or null for NaN and
// the infinities.
template <std::size_t N>
static void json_number(char (&text)[N], double value)
{
    if (!std::isfinite(value))
        Fmt(text, "null");
    else
        Fmt(text, "%f[r]", value);
}

// Messages in the outbox at most: store_limit, or a week of readings at
// the current interval.
static double outbox_limit()
{
    if (publishing.store_limit > 0)
        return publishing.store_limit;
    const double week = 7 * 86400 / settings.interval;
    return std::isfinite(week) && week >= 1 && week < 1e12 ? std::floor(week) + 1 : 1e12;
}

// Earlier versions numbered their messages in a file of their own, holding
// a number above every one they handed out; the outbox goes on above it,
// so that consumers who drop repeats by seq drop nothing new.
static void continue_old_numbering()
{
    char path[kPathSize];
    const int file =
        settings_file_path("vandrel-publish.seq", path) == 0 ? OpenFile(path, kOpenRead, kOpenKeep, kOpenText) : 0;
    if (file <= 0)
        return;
    double next = 0;
    if (ScanFile(file, "%f", next) == 1 && next >= 2 && next < 9e15)
        OutboxContinueAbove(static_cast<long long>(next) - 1);
    CloseFile(file);
}

const char *publish_prefix_fault(const char *prefix)
{
    // The topics differ only in their last level, which is plain ASCII:
    // one of them stands for all.
    char topic[kPublishText + 16];
    Fmt(topic, "%s/reading", prefix);
    return MqttTopicFault(topic);
}

void publish_start()
{
    publish_settings_load();
    publish_open();
}

void publish_open()
{
    active = 0;
    char outbox[kPathSize];
    // A prefix that no topic may have (a file edited by hand) would keep
    // every message waiting for good.
    if (publishing.enabled == 0 || publish_prefix_fault(publishing.prefix) != nullptr ||
        settings_file_path("vandrel-outbox.sqlite", outbox) != 0) {
        MqttDisconnect();
        return;
    }
    Fmt(reading_topic, "%s/reading", publishing.prefix);
    Fmt(alarm_topic, "%s/alarm", publishing.prefix);
    Fmt(status_topic, "%s/status", publishing.prefix);
    Fmt(dropped_topic, "%s/dropped", publishing.prefix);
    Fmt(live_topic, "%s/live", publishing.prefix);
    Fmt(seal_topic, "%s/seal", publishing.prefix);
    if (OutboxOpen(outbox, static_cast<long long>(outbox_limit())) != 0) {
        MqttDisconnect();
        return;
    }
    continue_old_numbering();
    const MqttOptions options{publishing.host,      publishing.port,    publishing.tls,
                              publishing.ca_file,   publishing.user,    publishing.password,
                              publishing.client_id, status_topic,       dropped_topic};
    MqttConnect(options);
    active = 1;
}

void publish_reading()
{
    if (active == 0)
        return;
    const char *unit;
    const char *quantity = measured_quantity(&unit);
    // By ExchangeResult.
    static const char *const kStatus[] = {"ok", "no_connection", "bad_reply", "no_number"};
    const int result = exchange_result();
    const char *status = kStatus[result];
    char value[40], time[40], message[400];
    json_number(value, result == kExchangeReading ? state.reading : NAN);
    GetIsoTime(time, 1);
    Fmt(message,
        "\"time\":\"%s\",\"elapsed\":%f[p3],\"quantity\":\"%s\",\"unit\":\"%s\",\"value\":%s,\"status\":\"%s\"",
        time, state.t_elapsed, quantity, unit, value, status);
    // The newest reading also goes to <prefix>/live, ahead of any backlog.
    OutboxAdd(reading_topic, message, live_topic);
}

void publish_alarm(const char *event, double value, double limit, double elapsed)
{
    if (active == 0)
        return;
    char v[40], l[40], time[40], message[400];
    json_number(v, value);
    json_number(l, limit);
    GetIsoTime(time, 1);
    Fmt(message, "\"time\":\"%s\",\"elapsed\":%f[p3],\"event\":\"%s\",\"quantity\":\"%s\",\"value\":%s,\"limit\":%s",
        time, elapsed, event, measured_quantity(), v, l);
    OutboxAdd(alarm_topic, message);
}

void publish_seal(const SealEntry &entry)
{
    if (active == 0)
        return;
    char lines[32], bytes[32], message[400];
    Fmt(lines, "%f[p0]", static_cast<double>(entry.lines));
    Fmt(bytes, "%f[p0]", static_cast<double>(entry.bytes));
    Fmt(message, "\"time\":\"%s\",\"kind\":\"%s\",\"lines\":%s,\"bytes\":%s,\"sha256\":\"%s\"",
        entry.time_utc.c_str(), entry.kind.c_str(), lines, bytes, entry.hash.c_str());
    OutboxAdd(seal_topic, message);
}

void publish_stop()
{
    // What the broker has not acknowledged stays in the outbox for the next
    // start; the window does not wait for the network.
    MqttClose(0.03);
    active = 0;
}

// The link to the broker, in a sentence.
static const char *link_condition()
{
    switch (MqttState()) {
    case kMqttConnected:
        return "Connected to the broker.";
    case kMqttLoginRefused:
        return "The broker refused the user name or password.";
    case kMqttBadCertificate:
        return "The broker's certificate does not verify against the CA file.";
    case kMqttBadSettings:
        return "Publishing cannot start: check the broker's address and the client id.";
    default:
        return "Connecting to the broker; readings are kept until it answers.";
    }
}

void publish_condition(char (&text)[kConditionSize])
{
    if (publishing.enabled == 0) {
        Fmt(text, "Publishing is off.");
        return;
    }
    const OutboxStatus outbox = GetOutboxStatus();
    if (outbox.faults & kOutboxHeldElsewhere) {
        Fmt(text, "Another copy of the program on this computer publishes from this settings folder; this copy "
                  "does not publish.");
        return;
    }
    if (const char *fault = publish_prefix_fault(publishing.prefix)) {
        Fmt(text, "Publishing cannot start: the topic prefix %s.", fault);
        return;
    }
    if (const char *missing = MqttMissingLibrary(); missing[0] != '\0') {
        Fmt(text, "Publishing cannot start: %s.", missing);
        return;
    }
    if (active == 0) {
        Fmt(text, "Publishing cannot start: the outbox cannot be opened in the settings folder.");
        return;
    }
    char waiting[80] = "", stored[120] = "", damaged[kPathSize + 240] = "", dropped[100] = "", gone[200] = "";
    if (outbox.waiting > 0)
        Fmt(waiting, " %f[p0] messages wait in the outbox.", static_cast<double>(outbox.waiting));
    if (outbox.faults & kOutboxNotStored)
        Fmt(stored, " Readings are not stored: the outbox cannot be written (is the disk full?).");
    if (outbox.faults & kOutboxDamaged) {
        char aside[kPathSize], carried[100] = "";
        GetOutboxMovedAside(aside);
        const auto salvaged = static_cast<double>(outbox.salvaged), unreadable = static_cast<double>(outbox.unreadable);
        if (salvaged > 0 && unreadable > 0)
            Fmt(carried, " %f[p0] of its messages were carried over; %f[p0] could not be read and were dropped.",
                salvaged, unreadable);
        else if (salvaged > 0)
            Fmt(carried, " %f[p0] of its messages were carried over.", salvaged);
        else if (unreadable > 0)
            Fmt(carried, " %f[p0] of its messages could not be read and were dropped.", unreadable);
        Fmt(damaged, " The outbox was damaged: it was moved aside to %s and a new one started.%s", aside, carried);
    }
    if ((outbox.faults & kOutboxForeign) && !(outbox.faults & kOutboxDamaged)) {
        char aside[kPathSize];
        GetOutboxMovedAside(aside);
        Fmt(damaged, " The file put in the outbox's place held other messages: it was moved aside to %s.", aside);
    }
    if (outbox.faults & (kOutboxGone | kOutboxReplaced)) {
        // The clock time of "2026-12-10T14:02:11".
        char at[40];
        GetOutboxGoneAt(at);
        const char *clock = at[0] != '\0' ? at + 11 : at;
        if (outbox.faults & kOutboxGone)
            Fmt(gone, " The outbox file disappeared at %s and no new one can be made: readings are sent, but "
                      "lost if the program ends before the broker has them.", clock);
        else if (outbox.lost > 0)
            Fmt(gone, " The outbox file disappeared at %s; a new one was started and the numbering goes on, "
                      "but %f[p0] messages could not be carried over.", clock, static_cast<double>(outbox.lost));
        else
            Fmt(gone, " The outbox file disappeared at %s; a new one was started and the numbering goes on.",
                clock);
    }
    if (outbox.dropped > 0)
        Fmt(dropped, " The outbox was full: the oldest %f[p0] messages were dropped.",
            static_cast<double>(outbox.dropped));
    Fmt(text, "%s%s%s%s%s%s", link_condition(), waiting, stored, gone, damaged, dropped);
}
