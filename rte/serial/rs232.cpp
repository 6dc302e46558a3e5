// Serial ports by number, blocking on the calling thread: each open port is
// a Line (line.h), on Qt SerialPort or on Windows' communications API.
#include "rte/rs232.h"

#include "rte/serial/devices.h"
#include "rte/serial/line.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <memory>

namespace {

using rte::serial::Line;

int g_status = kRs232NoError;

// Why each port's latest open failed, in the 8-bit text of the panels; no
// entry once it opened.
std::map<int, QByteArray> &refusals()
{
    static auto *table = new std::map<int, QByteArray>;
    return *table;
}

QString refusalOf(int status, const Line &line)
{
    switch (status) {
    case kRs232NoSuchPort:
        return QStringLiteral("not there");
    case kRs232PortBusy:
        return line.refusal().isEmpty() ? QStringLiteral("in use by another program") : line.refusal();
    default:
        return line.refusal();
    }
}

int record(int status)
{
    g_status = status;
    return status;
}

// Never destroyed: the lines hold Qt objects that must not outlive the
// application, so the application's end closes them (closeAll) and nothing
// is left for the static destructors.
std::map<int, std::unique_ptr<Line>> &lines()
{
    static auto *table = new std::map<int, std::unique_ptr<Line>>;
    return *table;
}

QCoreApplication *g_closeAllRegisteredFor = nullptr;

void closeAll()
{
    lines().clear();
    g_closeAllRegisteredFor = nullptr;
}

void closeAllAtApplicationEnd()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app != nullptr && app != g_closeAllRegisteredFor) {
        qAddPostRoutine(closeAll);
        g_closeAllRegisteredFor = app;
    }
}

bool validPort(int port) { return port >= 1 && port <= rte::serial::kMaxPort; }

// 0 with the port's line, or the status that says why there is none.
int lineOf(int port, Line *&line)
{
    if (!validPort(port))
        return kRs232BadArgument;
    const auto found = lines().find(port);
    if (found == lines().end())
        return kRs232NotOpen;
    line = found->second.get();
    return kRs232NoError;
}

// As lineOf, for the calls that reach the device: it must be there.
int usableLineOf(int port, Line *&line)
{
    const int status = lineOf(port, line);
    return status == kRs232NoError ? line->usable() : status;
}

bool toParity(int parity, QSerialPort::Parity &out)
{
    static constexpr QSerialPort::Parity kParities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                        QSerialPort::EvenParity};
    if (parity < 0 || parity > 2)
        return false;
    out = kParities[parity];
    return true;
}

bool toStopBits(int stopBits, QSerialPort::StopBits &out)
{
    if (stopBits != 1 && stopBits != 2)
        return false;
    out = stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop;
    return true;
}

}  // namespace

int OpenComConfig(int port, const char *, long baudRate, int parity, int dataBits, int stopBits, int,
                  int)
{
    rte::serial::LineSettings settings{};
    if (!validPort(port) || baudRate <= 0 || baudRate > INT_MAX || dataBits < 5 || dataBits > 8 ||
        !toParity(parity, settings.parity) || !toStopBits(stopBits, settings.stopBits))
        return record(kRs232BadArgument);
    settings.path = QFile::decodeName(QByteArray::fromStdString(rte::serial::devicePath(port)));
    settings.baudRate = static_cast<qint32>(baudRate);
    settings.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    lines().erase(port);
    auto line = std::make_unique<Line>();
    const int status = line->open(settings);
    if (status == kRs232NoError) {
        refusals().erase(port);
        closeAllAtApplicationEnd();
        lines().emplace(port, std::move(line));
    } else {
        // The panels take Windows-1252, which holds Latin-1's letters; one
        // beyond them, in a system's words or a group's name, shows as '?'.
        refusals()[port] = refusalOf(status, *line).toLatin1();
    }
    return record(status);
}

int CloseCom(int port)
{
    Line *line = nullptr;
    if (const int status = lineOf(port, line))
        return record(status);
    lines().erase(port);
    return record(kRs232NoError);
}

int SetComTime(int port, double seconds)
{
    Line *line = nullptr;
    if (const int status = lineOf(port, line))
        return record(status);
    // Qt waits take int milliseconds; a million seconds is beyond any use.
    if (!(seconds >= 0.0 && seconds <= 1e6))
        return record(kRs232BadArgument);
    line->setTimeout(std::chrono::milliseconds(std::llround(seconds * 1000.0)));
    return record(kRs232NoError);
}

int FlushInQ(int port)
{
    Line *line = nullptr;
    if (const int status = usableLineOf(port, line))
        return record(status);
    return record(line->flushInput());
}

int FlushOutQ(int port)
{
    Line *line = nullptr;
    if (const int status = usableLineOf(port, line))
        return record(status);
    return record(line->flushOutput());
}

int ComWrt(int port, const char *bytes, int count)
{
    Line *line = nullptr;
    if (const int status = lineOf(port, line))
        return record(status);
    if (count < 0 || (bytes == nullptr && count > 0))
        return record(kRs232BadArgument);
    if (const int status = line->usable())
        return record(status);
    const rte::serial::Outcome outcome = line->write({bytes, static_cast<std::size_t>(count)});
    record(outcome.status);
    return outcome.status == kRs232NoError ? outcome.count : outcome.status;
}

namespace rte::serial {

int readTerm(int port, char *buffer, std::size_t capacity, int count, int terminator)
{
    Line *line = nullptr;
    if (const int status = lineOf(port, line))
        return record(status);
    if (count < 0 || static_cast<std::size_t>(count) > capacity)
        return record(kRs232BadArgument);
    if (const int status = line->usable())
        return record(status);
    const Outcome outcome = line->read({buffer, static_cast<std::size_t>(count)}, terminator);
    record(outcome.status);
    return outcome.count;
}

void openFailure(int port, char *text, std::size_t capacity)
{
    if (text == nullptr || capacity == 0)
        return;
    const auto found = refusals().find(port);
    const QByteArray why = found == refusals().end() ? QByteArray() : found->second;
    const std::size_t n = std::min(static_cast<std::size_t>(why.size()), capacity - 1);
    std::copy_n(why.constData(), n, text);
    text[n] = '\0';
}

}  // namespace rte::serial

int ReturnRS232Err() { return g_status; }

int _GetRs232Err() { return g_status; }

int ListComDevices(ComDevice *devices, int max)
{
    if (max < 0 || (devices == nullptr && max > 0))
        return record(kRs232BadArgument);
    int listed = 0;
    for (const rte::serial::Device &device : rte::serial::listDevices()) {
        if (listed == max)
            break;
        if (device.path.size() >= sizeof devices[listed].path)
            continue;
        devices[listed].port = device.port;
        devices[listed].present = device.present ? 1 : 0;
        std::copy(device.path.begin(), device.path.end(), devices[listed].path);
        devices[listed].path[device.path.size()] = '\0';
        ++listed;
    }
    record(kRs232NoError);
    return listed;
}
