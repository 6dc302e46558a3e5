#include "rte/serial/devices.h"

#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstdlib>

namespace rte::serial {
namespace {

std::string variableFor(int port) { return "RTE_COM" + std::to_string(port); }

#ifdef Q_OS_WIN
const QRegularExpression kDefaultName(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM(\\d+)$"));
std::string defaultPath(int port) { return "COM" + std::to_string(port); }
int defaultPort(int number) { return number; }
#else
const QRegularExpression kDefaultName(QStringLiteral("^/dev/ttyS(\\d+)$"));
std::string defaultPath(int port) { return "/dev/ttyS" + std::to_string(port - 1); }
int defaultPort(int number) { return number + 1; }
#endif

// The same device under two names (a link and its target) counts once.
QString identity(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

// The number whose default name is this path, unless a mapping took it.
int defaultNumberOf(const QString &path)
{
    const QRegularExpressionMatch match = kDefaultName.match(path);
    if (!match.hasMatch())
        return 0;
    const int port = defaultPort(match.captured(1).toInt());
    if (port < 1 || port > kMaxPort || std::getenv(variableFor(port).c_str()) != nullptr)
        return 0;
    return port;
}

}  // namespace

std::string devicePath(int port)
{
    const char *mapped = std::getenv(variableFor(port).c_str());
    return mapped != nullptr ? std::string(mapped) : defaultPath(port);
}

std::vector<Device> listDevices()
{
    static const QRegularExpression kVariable(QStringLiteral("^RTE_COM(\\d+)$"));
    std::vector<Device> devices;
    QStringList covered;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : environment.keys()) {
        const QRegularExpressionMatch match = kVariable.match(name);
        const int port = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (port < 1 || port > kMaxPort)
            continue;
        const QString path = environment.value(name);
        devices.push_back({port, QFile::encodeName(path).toStdString(), QFileInfo::exists(path)});
        covered << identity(path);
    }
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        if (covered.contains(identity(path)))
            continue;
        devices.push_back({defaultNumberOf(path), QFile::encodeName(path).toStdString(), true});
        covered << identity(path);
    }
    std::stable_sort(devices.begin(), devices.end(), [](const Device &a, const Device &b) {
        const auto key = [](int port) { return port == 0 ? kMaxPort + 1 : port; };
        return key(a.port) < key(b.port);
    });
    return devices;
}

}  // namespace rte::serial
