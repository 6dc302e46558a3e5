// One open serial port: blocking reads and writes with a time-out for the
// whole operation, and recovery from a device that goes away.
#pragma once

#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <span>
#include <string>

namespace rte::serial {

struct LineSettings {
    QString path;
    qint32 baudRate;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

// status is 0 or a negative kRs232 code; count is what the operation moved.
struct Outcome {
    int status;
    int count;
};

class Line {
public:
    Line();
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    // Opens the device; on failure the line stays closed and this says why.
    int open(const LineSettings &settings);
    // After an open that failed for want of permission, or for a reason
    // that has no code of its own: why, in the operator's words; for a
    // device in use, who holds it where that can be known (Linux), else
    // empty.
    const QString &refusal() const { return refusal_; }
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // 0 when the port can be used, after a try to bring a lost device back;
    // the operations below need it.
    int usable();
    int flushInput();
    int flushOutput();
    Outcome write(std::span<const char> bytes);
    // Takes bytes until the terminator (consumed, not stored), out is full,
    // or the time-out; bytes after those stay queued.
    Outcome read(std::span<char> out, int terminator);

private:
    void markLost();
    void tryReopen();
    int openPort();

#ifdef _WIN32
    // The communications API in blocking mode (line_win32.cpp).
    struct HandleCloser {
        void operator()(void *handle) const;
    };
    // Waits until bytes come or `ms` pass; false when the device is gone.
    bool receive(unsigned long ms);
    bool gone();
    std::unique_ptr<void, HandleCloser> handle_;
    // Bytes read from the device but not yet taken (they followed a
    // terminator or filled a read): the next read or flush sees them first.
    std::string pending_;
#else
    // Status for an operation that failed with the port's current error.
    int failure();

    QSerialPort port_;
    QTimer reopenTimer_;
    // Characters of the last whole read, its terminator counted: how long
    // the next reply probably is (line_posix.cpp).
    int lastReply_ = 0;
#endif
    LineSettings settings_{};
    QString refusal_;
    std::chrono::milliseconds timeout_{10000};
    bool lost_ = false;
};

}  // namespace rte::serial
