// One open serial port on Windows: the communications API used directly, in
// blocking mode (CreateFileW, SetCommState, SetCommTimeouts, synchronous
// ReadFile and WriteFile, PurgeComm, ClearCommError).  Qt SerialPort's
// Windows side waits for events with WaitCommEvent, which some drivers (and
// wine on a pseudo-terminal) complete at once with nothing in the mask, so
// it would read nothing; blocking calls need no event loop either.
//
// Port names: "COMn" and any other bare device name are opened in the
// device namespace, \\.\name, which also reaches COM10 and up; a name that
// already starts with two backslashes is used as it is.
//
// A port that fails a read, a write or a purge and whose state cannot be
// read back (ClearCommError) has gone away (an adapter pulled out): it is
// closed and reopened by the next call that needs it, once it is back.
#include "rte/serial/line.h"

#include "rte/rs232.h"
#include "rte/util/win32_text.h"

#include <algorithm>

#include <windows.h>

namespace rte::serial {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Milliseconds left before the deadline, rounded up so that a wait never
// ends early and spins; 0 once it has passed.
DWORD msecsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    // MAXDWORD means "no time-out" to the system: stay below it.
    return static_cast<DWORD>(std::clamp<long long>(left, 0, MAXDWORD - 1));
}

std::wstring deviceName(const QString &path)
{
    std::wstring name;
    if (!win32::widen(path.toUtf8().constData(), name) || name.empty())
        return {};
    if (name.rfind(L"\\\\", 0) != 0)
        name = L"\\\\.\\" + name;
    return name;
}

BYTE parityOf(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::OddParity:
        return ODDPARITY;
    case QSerialPort::EvenParity:
        return EVENPARITY;
    default:
        return NOPARITY;
    }
}

// The system's own words for an error, without the line end it ends with.
QString systemWords(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString words = QString::fromWCharArray(text, static_cast<qsizetype>(length)).trimmed();
    ::LocalFree(text);
    return words.isEmpty() ? QStringLiteral("system error %1").arg(error) : words;
}

bool configure(HANDLE h, const LineSettings &settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = parityOf(settings.parity);
    dcb.StopBits = settings.stopBits == QSerialPort::TwoStop ? TWOSTOPBITS : ONESTOPBIT;
    // Raw bytes, no flow control, no byte replaced or dropped; an error on
    // the line does not stop the port until someone clears it.
    dcb.fBinary = TRUE;
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    return ::SetCommState(h, &dcb) != 0;
}

}  // namespace

void Line::HandleCloser::operator()(void *handle) const
{
    ::CloseHandle(handle);
}

Line::Line() = default;

int Line::open(const LineSettings &settings)
{
    settings_ = settings;
    return openPort();
}

int Line::openPort()
{
    handle_.reset();
    pending_.clear();
    refusal_.clear();
    const std::wstring name = deviceName(settings_.path);
    if (name.empty())
        return kRs232NoSuchPort;
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return kRs232NoSuchPort;
        case ERROR_ACCESS_DENIED:  // what a port open in another program answers
        case ERROR_SHARING_VIOLATION:
            return kRs232PortBusy;
        default:
            refusal_ = systemWords(error);
            return kRs232OpenFailed;
        }
    }
    handle_.reset(h);
    if (!configure(h, settings_)) {
        refusal_ = systemWords(::GetLastError());
        handle_.reset();
        return kRs232OpenFailed;
    }
    return kRs232NoError;
}

void Line::markLost()
{
    lost_ = true;
    handle_.reset();
    pending_.clear();
}

void Line::tryReopen()
{
    if (lost_ && openPort() == kRs232NoError)
        lost_ = false;
}

int Line::usable()
{
    if (lost_)
        tryReopen();
    return lost_ ? kRs232DeviceLost : kRs232NoError;
}

bool Line::gone()
{
    // A line error (framing, overrun) fails the call until it is cleared and
    // the port goes on; a port that cannot even say that is gone.
    DWORD errors = 0;
    if (::ClearCommError(handle_.get(), &errors, nullptr))
        return false;
    markLost();
    return true;
}

int Line::flushInput()
{
    pending_.clear();
    if (::PurgeComm(handle_.get(), PURGE_RXABORT | PURGE_RXCLEAR) || !gone())
        return kRs232NoError;
    return kRs232DeviceLost;
}

int Line::flushOutput()
{
    if (::PurgeComm(handle_.get(), PURGE_TXABORT | PURGE_TXCLEAR) || !gone())
        return kRs232NoError;
    return kRs232DeviceLost;
}

Outcome Line::write(std::span<const char> bytes)
{
    if (bytes.empty())
        return {kRs232NoError, 0};
    const auto deadline = Clock::now() + timeout_;
    std::size_t sent = 0;
    // Even a zero time-out gets one try.
    for (bool lastTry = false; sent < bytes.size();) {
        if (lastTry)
            return {kRs232Timeout, static_cast<int>(sent)};
        const DWORD left = msecsLeft(deadline);
        lastTry = left == 0;
        COMMTIMEOUTS timeouts{};
        timeouts.WriteTotalTimeoutConstant = std::max<DWORD>(left, 1);
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - sent, 1u << 16));
        if (!::SetCommTimeouts(handle_.get(), &timeouts) ||
            !::WriteFile(handle_.get(), bytes.data() + sent, chunk, &done, nullptr)) {
            if (gone())
                return {kRs232DeviceLost, static_cast<int>(sent)};
            return {kRs232WriteFailed, static_cast<int>(sent)};
        }
        sent += done;
    }
    return {kRs232NoError, static_cast<int>(sent)};
}

bool Line::receive(unsigned long ms)
{
    // First one byte, waiting at most `ms`: a read ends when its buffer is
    // full, so a one-byte read ends as soon as a byte is there.  (The
    // "return at the first byte" time-outs, MAXDWORD for both the interval
    // and the multiplier, are not honoured by wine, which waits out the
    // whole time: every reply would take the full time-out.)  Then, without
    // waiting, whatever else has come.
    char buf[256];
    DWORD first = 0;
    if (ms > 0) {
        COMMTIMEOUTS wait{};
        wait.ReadTotalTimeoutConstant = static_cast<DWORD>(ms);
        if (!::SetCommTimeouts(handle_.get(), &wait) || !::ReadFile(handle_.get(), buf, 1, &first, nullptr))
            return !gone();
        if (first == 0)
            return true;  // the time is up
        pending_.push_back(buf[0]);
    }
    COMMTIMEOUTS now{};
    now.ReadIntervalTimeout = MAXDWORD;
    DWORD more = 0;
    if (!::SetCommTimeouts(handle_.get(), &now) || !::ReadFile(handle_.get(), buf, sizeof buf, &more, nullptr))
        return !gone();
    pending_.append(buf, more);
    return true;
}

Outcome Line::read(std::span<char> out, int terminator)
{
    const auto deadline = Clock::now() + timeout_;
    std::size_t stored = 0;
    // After the deadline, one more look at what the device has delivered.
    for (bool lastLook = false;;) {
        std::size_t taken = 0;
        while (stored < out.size() && taken < pending_.size()) {
            const char byte = pending_[taken++];
            if (static_cast<unsigned char>(byte) == terminator) {
                pending_.erase(0, taken);
                return {kRs232NoError, static_cast<int>(stored)};
            }
            out[stored++] = byte;
        }
        pending_.erase(0, taken);
        if (stored == out.size())
            return {kRs232NoError, static_cast<int>(stored)};
        if (lastLook)
            return {kRs232Timeout, static_cast<int>(stored)};
        const DWORD left = msecsLeft(deadline);
        lastLook = left == 0;
        if (!receive(left))
            return {kRs232DeviceLost, static_cast<int>(stored)};
    }
}

}  // namespace rte::serial
