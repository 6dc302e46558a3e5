#include "rte/serial/line.h"

#include "rte/rs232.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#endif

namespace rte::serial {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kReopenPoll{500};

// While a reply is under way, the next look waits until the rest of a
// reply as long as the last one can have come, or else a few characters:
// on a slow line each character would otherwise wake the program on its
// own, at 40 to 100 us of processor time each, and a reply of 14 characters
// at 9600 baud cost more than the recorded line written and synced.  A
// reply's end is seen at most kMostCharactersPerLook character times late
// (33 ms at 9600), and only when it is shorter than the last one.
constexpr int kCharactersPerLook = 4;
constexpr int kMostCharactersPerLook = 32;

// Milliseconds left before the deadline, rounded up so that a wait never
// ends early and spins; 0 once it has passed.
int msecsLeft(Clock::time_point deadline)
{
    return std::max(0, static_cast<int>(std::chrono::ceil<milliseconds>(deadline - Clock::now()).count()));
}

// Qt says PermissionError both for a device that another program holds (its
// lock file, or exclusive mode) and for one we may not open.
bool mayOpen([[maybe_unused]] const QString &path)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
#else
    return true;
#endif
}

// A failed open costs milliseconds of processor time (Qt's lock file and
// bookkeeping), which adds up while a lost device is polled; whether the
// path is there is far cheaper to see.  Windows' COMn names are no files, so
// there every poll tries the open.
bool present([[maybe_unused]] const QString &path)
{
#ifdef Q_OS_UNIX
    return QFileInfo::exists(path);
#else
    return true;
#endif
}

// Debian gives serial devices to the group dialout; whatever group the
// device has, joining it is what the operator can ask for, unless the
// device lets no group in.
QString noPermission([[maybe_unused]] const QString &path)
{
    QString words = QStringLiteral("no permission");
#ifdef Q_OS_UNIX
    struct stat node{};
    if (::stat(QFile::encodeName(path).constData(), &node) != 0 ||
        (node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return words;
    const long hint = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> area(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    struct group entry{};
    struct group *found = nullptr;
    while (::getgrgid_r(node.st_gid, &entry, area.data(), area.size(), &found) == ERANGE)
        area.resize(area.size() * 2);
    words += QStringLiteral(": add the user to the group ");
    words += found != nullptr ? QString::fromLocal8Bit(found->gr_name) : QString::number(node.st_gid);
#endif
    return words;
}

// A process by its program's name and as many of its arguments as a line
// takes: "vandrel --profile bench2 (process 4711)".
QString processText(const QString &pid)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    const QByteArray command = cmdline.open(QIODevice::ReadOnly) ? cmdline.read(4096) : QByteArray();
    QString said;
    for (const QByteArray &word : command.split('\0')) {
        if (word.isEmpty())
            continue;
        QString text = QString::fromLocal8Bit(said.isEmpty() ? word.mid(word.lastIndexOf('/') + 1) : word);
        for (QChar &c : text)
            if (!c.isPrint())
                c = QLatin1Char('?');
        if (!said.isEmpty() && said.size() + text.size() > 60) {
            said += QStringLiteral(" ...");
            break;
        }
        said += (said.isEmpty() ? QString() : QStringLiteral(" ")) + text;
    }
    return said.isEmpty() ? QStringLiteral("process %1").arg(pid) : QStringLiteral("%1 (process %2)").arg(said, pid);
}

// The process named in the device's lock file, as Qt and the terminal
// programs keep it ("LCK..ttyS0", the process number first), while it lives.
QString lockHolder(const QString &path, const QString &self)
{
    QString name = path.startsWith(QStringLiteral("/dev/")) ? path.mid(5) : path;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"}) {
        QFile lock(QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QString pid = QString::fromLatin1(lock.readLine(32)).trimmed();
        if (pid.toLongLong() > 0 && pid != self && QFileInfo::exists(QStringLiteral("/proc/") + pid))
            return pid;
    }
    return {};
}

// A process of this user's that has the device open.
QString openHolder(const QString &device, const QString &self)
{
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == self || pid.toLongLong() <= 0)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        const QStringList open = fds.entryList(QDir::System | QDir::NoDotAndDotDot);
        if (std::any_of(open.begin(), open.end(),
                        [&](const QString &fd) { return QFile::symLinkTarget(fds.filePath(fd)) == device; }))
            return pid;
    }
    return {};
}

// Who holds the device, where this user may see it: "in use by vandrel
// --profile bench2 (process 4711)"; empty when that cannot be known.  The
// lock file first: a simulated line's other end also has the device open.
QString holderOf(const QString &path)
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QString device = QFileInfo(path).canonicalFilePath();
    QString pid = lockHolder(path, self);
    if (pid.isEmpty() && !device.isEmpty())
        pid = openHolder(device, self);
    return pid.isEmpty() ? QString() : QStringLiteral("in use by ") + processText(pid);
}

int openFailure(QSerialPort::SerialPortError error, const QString &path)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return kRs232NoSuchPort;
    case QSerialPort::PermissionError:
        return mayOpen(path) ? kRs232PortBusy : kRs232AccessDenied;
    default:
        return kRs232OpenFailed;
    }
}

// A hung-up device makes every read return nothing at once (ReadError) or
// fail with EIO (ResourceError).
bool meansLost(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ReadError || error == QSerialPort::ResourceError;
}

// How long `characters` take on the line: a start bit, the data, the parity
// and the stop bits each.
Clock::duration characterTime(const LineSettings &line, int characters)
{
    const int bits = 1 + line.dataBits + (line.parity == QSerialPort::NoParity ? 0 : 1) +
                     (line.stopBits == QSerialPort::OneStop ? 1 : 2);
    const double seconds = static_cast<double>(characters) * bits / std::max(line.baudRate, 1);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

Line::Line()
{
    reopenTimer_.setInterval(kReopenPoll);
    QObject::connect(&reopenTimer_, &QTimer::timeout, &port_, [this] { tryReopen(); });
    // While the event loop runs between calls, Qt reads the port itself, and
    // on a hung-up device it would report a read error on every pass of the
    // loop and spin the processor.  Queued, because closing the port inside
    // Qt's own read handler would delete the notifier that is calling it; the
    // current error is checked, not the reported one, since the port may
    // have been reopened by the time this runs.
    QObject::connect(
        &port_, &QSerialPort::errorOccurred, &port_,
        [this] {
            if (port_.isOpen() && meansLost(port_.error()))
                markLost();
        },
        Qt::QueuedConnection);
}

int Line::open(const LineSettings &settings)
{
    settings_ = settings;
    const int status = openPort();
    // Named for the operator's open only: the reopening of a lost device
    // does not look through every process twice a second.
    if (status == kRs232PortBusy)
        refusal_ = holderOf(settings_.path);
    return status;
}

int Line::openPort()
{
    port_.setPortName(settings_.path);
    port_.setBaudRate(settings_.baudRate);
    port_.setParity(settings_.parity);
    port_.setDataBits(settings_.dataBits);
    port_.setStopBits(settings_.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    refusal_.clear();
    if (port_.open(QIODevice::ReadWrite))
        return kRs232NoError;
    const int status = openFailure(port_.error(), settings_.path);
    if (status == kRs232AccessDenied)
        refusal_ = noPermission(settings_.path);
    else if (status == kRs232OpenFailed)
        refusal_ = port_.errorString();
    return status;
}

void Line::markLost()
{
    lost_ = true;
    port_.close();
    if (QCoreApplication::instance() != nullptr)
        reopenTimer_.start();
}

void Line::tryReopen()
{
    if (lost_ && present(settings_.path) && openPort() == kRs232NoError) {
        lost_ = false;
        reopenTimer_.stop();
    }
}

int Line::usable()
{
    if (lost_)
        tryReopen();
    return lost_ ? kRs232DeviceLost : kRs232NoError;
}

int Line::failure()
{
    switch (port_.error()) {
    case QSerialPort::TimeoutError:
        return kRs232Timeout;
    case QSerialPort::WriteError:
        return kRs232WriteFailed;
    default:
        // Anything else that fails on an open tty (a read of nothing, EIO)
        // has met a device that is gone; reopening is the only way back.
        markLost();
        return kRs232DeviceLost;
    }
}

int Line::flushInput()
{
    port_.clearError();
    return port_.clear(QSerialPort::Input) ? kRs232NoError : failure();
}

int Line::flushOutput()
{
    port_.clearError();
    return port_.clear(QSerialPort::Output) ? kRs232NoError : failure();
}

Outcome Line::write(std::span<const char> bytes)
{
    if (bytes.empty())
        return {kRs232NoError, 0};
    const auto size = static_cast<qint64>(bytes.size());
    const auto deadline = Clock::now() + timeout_;
    port_.clearError();
    if (port_.write(bytes.data(), size) != size)
        return {failure(), 0};
    // Qt only queues the bytes; they go out while it waits.  Even a zero
    // time-out gets one try.
    for (bool lastTry = false; port_.bytesToWrite() > 0;) {
        if (lastTry)
            return {kRs232Timeout, static_cast<int>(size - port_.bytesToWrite())};
        const int left = msecsLeft(deadline);
        lastTry = left == 0;
        port_.clearError();
        if (!port_.waitForBytesWritten(left) && port_.error() != QSerialPort::TimeoutError)
            return {failure(), static_cast<int>(size - port_.bytesToWrite())};
    }
    return {kRs232NoError, static_cast<int>(size)};
}

Outcome Line::read(std::span<char> out, int terminator)
{
    const auto deadline = Clock::now() + timeout_;
    int stored = 0;
    const auto capacity = static_cast<int>(out.size());
    // After the deadline, one more look at what the device has delivered.
    for (bool lastLook = false;;) {
        char byte = 0;
        // One byte at a time, so that whatever follows the terminator or
        // the count stays queued for the next read or flush.
        while (stored < capacity && port_.bytesAvailable() > 0 && port_.getChar(&byte)) {
            if (static_cast<unsigned char>(byte) == terminator) {
                lastReply_ = stored + 1;
                return {kRs232NoError, stored};
            }
            out[static_cast<std::size_t>(stored++)] = byte;
        }
        if (stored == capacity) {
            lastReply_ = stored;
            return {kRs232NoError, stored};
        }
        if (lastLook)
            return {kRs232Timeout, stored};
        if (stored > 0) {
            const int expected = lastReply_ > stored ? std::min(lastReply_ - stored, kMostCharactersPerLook)
                                                     : kCharactersPerLook;
            std::this_thread::sleep_until(std::min(deadline, Clock::now() + characterTime(settings_, expected)));
        }
        const int left = msecsLeft(deadline);
        lastLook = left == 0;
        port_.clearError();
        if (!port_.waitForReadyRead(left) && port_.error() != QSerialPort::TimeoutError &&
            port_.error() != QSerialPort::NoError)
            return {failure(), stored};
    }
}

}  // namespace rte::serial
