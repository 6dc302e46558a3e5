#include "publish/publish.h"

#include <climits>
#include <cmath>

#include "app/settings_file.h"
#include "app/state.h"
#include "link/exchange.h"
#include "publish/publish_settings.h"
#include "rte/formatio.h"
#include "rte/mqtt.h"
#include "rte/utility.h"

constexpr double kSequenceBlock = 1000;

static int active;
static char reading_topic[kPublishText + 16];
static char alarm_topic[kPublishText + 16];
static char status_topic[kPublishText + 16];
// Sequence numbers are whole numbers held in a double: exact far beyond any
// run's length.  The file holds a number above every one handed out, so a
// program that ends without saving still never repeats one.  0 until read
// from the file: settings applied during a session keep counting on.
static double sequence;
static double sequence_reserved;

static void sequence_write(double next)
{
    char path[kPathSize], fresh[kPathSize];
    if (settings_file_path("vandrel-publish.seq", path) != 0 || settings_file_path("vandrel-publish.sqn", fresh) != 0)
        return;
    const int file = OpenFile(fresh, kOpenWrite, kOpenTruncate, kOpenText);
    if (file <= 0)
        return;
    const int written = FmtFile(file, "%f[p0]\n", next);
    CloseFile(file);
    if (written >= 0)
        RenameFile(fresh, path);
}

static void sequence_load()
{
    char path[kPathSize];
    sequence = 1;
    int file = settings_file_path("vandrel-publish.seq", path) == 0 ? OpenFile(path, kOpenRead, kOpenKeep, kOpenText) : 0;
    if (file > 0) {
        double stored = 0;
        if (ScanFile(file, "%f", stored) == 1 && stored >= 1 && stored < 9e15)
            sequence = std::floor(stored);
        CloseFile(file);
    }
    sequence_reserved = sequence + kSequenceBlock;
    sequence_write(sequence_reserved);
}

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

void publish_start()
{
    publish_settings_load();
    publish_open();
}

void publish_open()
{
    MqttClose(2);
    active = 0;
    if (publishing.enabled == 0)
        return;
    char store[kPathSize];
    if (settings_file_path("vandrel-publish.store", store) != 0)
        return;
    Fmt(reading_topic, "%s/reading", publishing.prefix);
    Fmt(alarm_topic, "%s/alarm", publishing.prefix);
    Fmt(status_topic, "%s/status", publishing.prefix);
    int limit = publishing.store_limit;
    if (limit <= 0) {
        const double week = 7 * 86400 / settings.interval;
        limit = std::isfinite(week) && week < INT_MAX / 2 ? static_cast<int>(week) + 1 : INT_MAX / 2;
    }
    const MqttOptions options{publishing.host, publishing.port,     publishing.tls,
                              publishing.ca_file, publishing.user,  publishing.password,
                              publishing.client_id, store,          status_topic,
                              limit};
    if (sequence < 1)
        sequence_load();
    active = MqttOpen(options) == 0;
}

// The quantity being measured, by name, and its unit (UTF-8, as JSON is).
static const char *quantity_name(const char **unit = nullptr)
{
    const char *quantity = "oxygen", *u = "ppm";
    if (settings.mode == 2)
        quantity = "voltage", u = "mV";
    else if (settings.mode == 3)
        quantity = "temperature", u = "\xC2\xB0" "C";
    if (unit)
        *unit = u;
    return quantity;
}

void publish_reading()
{
    if (active == 0)
        return;
    const char *unit;
    const char *quantity = quantity_name(&unit);
    // By ExchangeResult.
    static const char *const kStatus[] = {"ok", "no_connection", "bad_reply", "no_number"};
    const int result = exchange_result();
    const char *status = kStatus[result];
    char value[40], time[40], message[400];
    json_number(value, result == kExchangeReading ? state.reading : NAN);
    GetIsoTime(time, 1);
    Fmt(message,
        "{\"seq\":%f[p0],\"time\":\"%s\",\"elapsed\":%f[p3],\"quantity\":\"%s\",\"unit\":\"%s\","
        "\"value\":%s,\"status\":\"%s\"}",
        sequence, time, state.t_elapsed, quantity, unit, value, status);
    MqttPublish(reading_topic, message, 0);
    sequence = sequence + 1;
    if (sequence >= sequence_reserved) {
        sequence_reserved = sequence + kSequenceBlock;
        sequence_write(sequence_reserved);
    }
}

void publish_alarm(const char *event, double value, double limit, double elapsed)
{
    if (active == 0)
        return;
    char v[40], l[40], time[40], message[400];
    json_number(v, value);
    json_number(l, limit);
    GetIsoTime(time, 1);
    Fmt(message,
        "{\"time\":\"%s\",\"elapsed\":%f[p3],\"event\":\"%s\",\"quantity\":\"%s\",\"value\":%s,"
        "\"limit\":%s}",
        time, elapsed, event, quantity_name(), v, l);
    MqttPublish(alarm_topic, message, 0);
}

void publish_stop()
{
    if (active == 0)
        return;
    MqttClose(2);
    sequence_write(sequence);
    sequence = 0;
    active = 0;
}

void publish_condition(char (&text)[kConditionSize])
{
    if (active == 0) {
        Fmt(text, "%s", publishing.enabled ? "Publishing cannot start: check the broker's address and the client id."
                                           : "Publishing is off.");
        return;
    }
    const int faults = MqttStoreFaults();
    const char *store = "";
    if (faults & kMqttStoreFailed)
        store = " The store on disk cannot be written: messages kept while the broker is away may be lost.";
    else if (faults & kMqttStoreDamaged)
        store = " The store on disk was damaged; what could not be read is lost.";
    const char *full = (faults & kMqttOldestDropped) ? " The store was full: the oldest messages were dropped." : "";
    const char *link = "Connecting to the broker; readings are kept until it answers.";
    switch (MqttState()) {
    case kMqttConnected:
        link = "Connected to the broker.";
        break;
    case kMqttLoginRefused:
        link = "The broker refused the user name or password.";
        break;
    case kMqttBadCertificate:
        link = "The broker's certificate does not verify against the CA file.";
        break;
    }
    Fmt(text, "%s%s%s", link, store, full);
}
