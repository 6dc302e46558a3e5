// Serial ports by number.
//
// Port n reaches the device named by the environment variable RTE_COM<n>
// when it is set (any path: /dev/ttyUSB0, a pseudo-terminal, a link to one);
// otherwise COMn on Windows and /dev/ttyS<n-1> elsewhere.  Port numbers run
// from 1 to 256.
//
// Every call returns 0 or a count on success and one of the negative codes
// below on failure, and leaves its status where ReturnRS232Err and
// _GetRs232Err read it: 0 after a call that succeeded.  Reads and writes
// block the calling thread for at most the port's time-out and process no
// events.
//
// A port whose device goes away (an adapter pulled, the other end of a
// pseudo-terminal closed) reports kRs232DeviceLost and is reopened by the
// service itself, with the same line parameters and time-out, as soon as the
// device is back; the caller need not do anything.
#pragma once

#include <cstddef>

enum {
    kRs232NoError = 0,
    kRs232NoSuchPort = -1,     // no device behind the number
    kRs232PortBusy = -2,       // the device is in use by another program
    kRs232AccessDenied = -3,   // no permission to open the device
    kRs232NotOpen = -4,        // caller bug: the port is not open
    kRs232BadArgument = -5,    // caller bug: bad number, size or parameter
    kRs232Timeout = -6,        // the time-out passed before the read or write ended
    kRs232WriteFailed = -7,    // the device refused the bytes
    kRs232DeviceLost = -8,     // the device went away; it is reopened when it comes back
    kRs232OpenFailed = -9,     // any other failure to open or configure the device
};

// parity: 0 none, 1 odd, 2 even; data bits 5 to 8; stop bits 1 or 2.  The
// device name and the queue sizes are accepted for compatibility and not
// used: the number alone chooses the device, and the service buffers as
// needed.  Opening a port that is already open closes it first.  Sets the
// time-out to 10 seconds.
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
// Time-out for each read and write as a whole, in seconds.
int SetComTime(int port, double seconds);
int FlushInQ(int port);
int FlushOutQ(int port);
// Returns the number of bytes written.
int ComWrt(int port, const char *bytes, int count);
// Reads until the terminator byte arrives (it is consumed and not stored),
// count bytes have been read, or the time-out passes; returns the number of
// bytes stored.  A time-out before the terminator or the count sets
// kRs232Timeout, with the bytes received so far stored.  Bytes after the
// terminator or the count stay queued for the next read or FlushInQ.
// Nothing is added after the stored bytes.  A device lost during the read
// sets kRs232DeviceLost, again with what arrived stored.  A read that cannot
// begin (port not open, device still gone, count below 0 or beyond the
// buffer: kRs232BadArgument) stores nothing and returns its code.
namespace rte::serial {
int readTerm(int port, char *buffer, std::size_t capacity, int count, int terminator);
}
template <std::size_t N>
int ComRdTerm(int port, char (&buffer)[N], int count, int terminator)
{
    return rte::serial::readTerm(port, buffer, N, count, terminator);
}

// Status of the most recent serial call.
int ReturnRS232Err();
int _GetRs232Err();

// Why the port's latest OpenComConfig failed, in words for the operator
// (8-bit Windows-1252, as the panels take them): "not there", "in use by
// another program" (on Linux, where the holder is this user's, "in use by
// vandrel --profile bench2 (process 4711)": its name and arguments), on
// Linux "no permission: add the user to the group
// <the device's own group>", or the system's own words for any other
// failure.  Empty once the port opened, or before any try; an open refused
// as a caller's bug leaves it as it was.  Cut to fit the buffer.
namespace rte::serial {
void openFailure(int port, char *text, std::size_t capacity);
}
template <std::size_t N>
void GetComOpenFailure(int port, char (&text)[N])
{
    rte::serial::openFailure(port, text, N);
}

// Devices that look like serial ports, with the number that reaches each,
// for the port panel: every RTE_COM<n>, then the devices the system reports,
// numbered ones first; port is 0 for a device that no number reaches (one
// can be mapped to it), present is 0 for a mapping to a path where no
// device is.  Writes at most max entries and returns their count; a path
// longer than 255 bytes is left out.
struct ComDevice {
    int port;
    char path[256];
    int present;
};
int ListComDevices(ComDevice *devices, int max);
