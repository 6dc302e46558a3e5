#include "record/run_file.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <QTimeZone>

#include "alarm/alarm_settings.h"
#include "app/settings_file.h"
#include "files/file_name.h"
#include "rte/formatio.h"
#include "rte/rs232.h"
#include "rte/utility.h"

#ifndef VANDREL_VERSION
#error "the build names the program's version"
#endif

int run_file_beside(const char *recording, char (&path)[kPathSize])
{
    return name_beside(recording, ".info", path, kPathSize);
}

const char *measured_quantity(const char **unit)
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

// A value on one line, whatever it holds: a path may hold a line end.
static std::string escaped(std::string_view value)
{
    std::string out;
    for (const char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

static std::string unescaped(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

// The zone the local times are in: TZ where it is set, as the C library's
// local time takes it on both systems; the system's zone otherwise.
static std::string zone_name()
{
    if (const char *tz = std::getenv("TZ"); tz && *tz)
        return tz[0] == ':' ? tz + 1 : tz;
    const QByteArray id = QTimeZone::systemTimeZoneId();
    return id.isEmpty() ? std::string("unknown") : id.toStdString();
}

// The device that the port's number reaches, as the port panel lists it.
static std::string port_device(int port)
{
    static ComDevice devices[256];
    const int n = ListComDevices(devices, 256);
    for (int i = 0; i < n; ++i)
        if (devices[i].port == port)
            return devices[i].path;
    return "unknown";
}

// Local and UTC text of one moment: read again while a millisecond passed
// between the two.  Offsets are whole minutes, so the same moment has the
// same seconds and milliseconds in both.
static void start_times(char (&local)[40], char (&utc)[40])
{
    for (int tries = 0; tries < 100; ++tries) {
        GetIsoTime(local, 0);
        GetIsoTime(utc, 1);
        if (std::strlen(local) > 23 && std::strlen(utc) > 23 && std::memcmp(local + 17, utc + 17, 6) == 0)
            return;
    }
}

static std::string limit_text(int on, double value)
{
    char text[40];
    if (on == 0)
        return "off";
    Fmt(text, "%f[r]", value);
    return text;
}

static std::string run_file_fields(const char *recording, const char *resumed_from, double resume_gap)
{
    char local[40] = "", utc[40] = "", computer[256] = "", user[300] = "", number[40];
    start_times(local, utc);
    GetHostName(computer);
    GetUserAccount(user);
    const char *unit;
    const char *quantity = measured_quantity(&unit);
    const int q = settings.mode >= 1 && settings.mode <= 3 ? settings.mode - 1 : 0;
    const Limits &l = alarm_settings.limits[q];
    std::string text = "vandrel_run=1\n";
    const auto field = [&text](const char *key, std::string_view value) {
        text += key;
        text += '=';
        text += escaped(value);
        text += '\n';
    };
    field("start_utc", utc);
    field("start_local", local);
    field("utc_offset", std::strlen(local) > 23 ? local + 23 : "");
    field("zone", zone_name());
    field("quantity", quantity);
    field("unit", unit);
    Fmt(number, "%f[r]", settings.interval);
    field("interval", number);
    Fmt(number, "%d", settings.com_port);
    field("port", number);
    field("device", port_device(settings.com_port));
    field("computer", computer);
    field("user", user);
    field("version", VANDREL_VERSION);
    field("limit_low", limit_text(l.low_on, l.low));
    field("limit_high", limit_text(l.high_on, l.high));
    Fmt(number, "%d", l.delay);
    field("limit_delay", number);
    field("recording", recording);
    if (resumed_from && *resumed_from) {
        field("resumed_from", resumed_from);
        Fmt(number, "%f[p0]", resume_gap);
        field("resume_gap", number);
    }
    return text;
}

// A run without a recording: a file of its own in the settings folder,
// named after its local start to the second (no colons: Windows takes
// none in a name).
static int run_file_path(const char *recording, char (&path)[kPathSize])
{
    if (recording[0] != '\0')
        return run_file_beside(recording, path);
    char now[40];
    if (GetIsoTime(now, 0) != 0)
        return -1;
    const std::string name = "vandrel-run-" + std::string(now, 13) + std::string(now + 14, 2) +
                             std::string(now + 17, 2) + ".info";
    return settings_file_path(name.c_str(), path);
}

int run_file_start(const char *resumed_from, double resume_gap, char (&path)[kPathSize])
{
    seal_close();
    const char *recording = state.recording != 0 ? state.log_path : "";
    if (run_file_path(recording, path) != 0)
        return -1;
    const std::string fields = run_file_fields(recording, resumed_from, resume_gap);
    const int file = OpenFile(path, kOpenWrite, kOpenTruncate, kOpenText);
    if (file <= 0)
        return -1;
    if (FmtFile(file, "%s", fields.c_str()) < 0) {
        CloseFile(file);
        return -1;
    }
    if (recording[0] != '\0')
        seal_begin(file, fields);
    else
        CloseFile(file);
    return 0;
}

static bool read_number(const std::string &text, double &value)
{
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size();
}

static bool read_whole(const std::string &text, int &value, int low, int high)
{
    double number = 0;
    if (!read_number(text, number) || !(number >= low && number <= high) || number != std::floor(number))
        return false;
    value = static_cast<int>(number);
    return true;
}

int read_run_lines(int file, const std::function<bool(std::string_view, std::string_view)> &take)
{
    // Longer than any field the program writes (a path of 259 bytes,
    // escaped); a longer line is no field of ours.
    char line[2048];
    int got;
    while ((got = ReadLine(file, line)) != kFileEnd) {
        if (got < 0 || got >= static_cast<int>(sizeof line))
            return kRunFileDamaged;
        const char *eq = std::strchr(line, '=');
        if (eq == nullptr)
            return kRunFileDamaged;
        if (!take(std::string_view(line, static_cast<std::size_t>(eq - line)), std::string_view(eq + 1)))
            return kRunFileDamaged;
    }
    return kRunFileRead;
}

int read_run_file(const char *path, RunInfo &info)
{
    info = RunInfo{};
    const int file = OpenFile(path, kOpenRead, kOpenKeep, kOpenBinary);
    if (file <= 0)
        return kRunFileMissing;
    bool first = true;
    const int read = read_run_lines(file, [&](std::string_view key, std::string_view raw) {
        const std::string value = unescaped(raw);
        if (first) {
            first = false;
            return key == "vandrel_run" && read_whole(value, info.format, 1, 999);
        }
        if (key == "seal") {
            SealEntry entry;
            if (!read_seal_entry(raw, entry))
                return false;
            ++info.seal_entries;
            info.ended = entry.kind == "end";
            info.last_seal = std::move(entry);
            return true;
        }
        const auto limit = [&](bool &on, double &limit) {
            on = value != "off";
            return !on || read_number(value, limit);
        };
        if (key == "start_utc") info.start_utc = value;
        else if (key == "start_local") info.start_local = value;
        else if (key == "utc_offset") info.utc_offset = value;
        else if (key == "zone") info.zone = value;
        else if (key == "quantity") info.quantity = value;
        else if (key == "unit") info.unit = value;
        else if (key == "interval") return read_number(value, info.interval);
        else if (key == "port") return read_whole(value, info.port, 1, 256);
        else if (key == "device") info.device = value;
        else if (key == "computer") info.computer = value;
        else if (key == "user") info.user = value;
        else if (key == "version") info.version = value;
        else if (key == "limit_low") return limit(info.low_on, info.low);
        else if (key == "limit_high") return limit(info.high_on, info.high);
        else if (key == "limit_delay") return read_whole(value, info.delay, 0, 1000000);
        else if (key == "recording") info.recording = value;
        else if (key == "resumed_from") info.resumed_from = value;
        else if (key == "resume_gap") return read_number(value, info.resume_gap);
        return true;
    });
    CloseFile(file);
    if (first)
        return kRunFileDamaged;
    return read;
}
