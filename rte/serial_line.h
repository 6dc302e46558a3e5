// One open serial port: blocking reads and writes with a time-out for the
// whole operation, and recovery from a device that goes away.
#pragma once

#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <chrono>
#include <span>

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
    // Status for an operation that failed with the port's current error.
    int failure();
    void markLost();
    void tryReopen();
    int openPort();

    QSerialPort port_;
    QTimer reopenTimer_;
    LineSettings settings_{};
    std::chrono::milliseconds timeout_{10000};
    bool lost_ = false;
};

}  // namespace rte::serial
