// The format language and file handles.
//
// Formats are plain text with conversions:
//   %d            int, decimal; takes a field width: %d[w5]
//   %f            double; bracketed modifiers may follow, in any order:
//                 %f[p3w10e2]
//                   pN  digits after the point (fixed) or in the mantissa
//                       (scientific); default 6, at most 99
//                   wN  field width, at most 999: right-aligned, blanks on
//                       the left; default none
//                   eN  scientific notation with at least N exponent digits
//                       (1 to 9); default fixed-point
//                   r   the shortest text that reads back as the same
//                       double, in fixed or scientific notation, whichever
//                       is shorter (std::to_chars without a precision):
//                       4e-07, 0.000123456789, 1e+300, -0; not with p or e.
//                       A field width only pads it: it is never shortened
//                       to fit
//                 Plain %f of 1.0 is "1.000000"; %f[e2] of 209100 is
//                 "2.091000e+05".  Digits are correctly rounded (as printf
//                 rounds under the C locale).
//                 A number wider than its field (fixed or scientific) is
//                 shown in scientific notation with as many mantissa
//                 digits as fit the field (at least one, and an exponent of
//                 at least two digits), so a width of 7 or more (with eN
//                 above e3: 4 + N) bounds the text whatever the value:
//                 %f[e2w10] of 0.05 is "5.0000e-02", %f[p0w10] of 1e300 is
//                 "1.000e+300".  NaN and the infinities are written "nan",
//                 "inf", "-inf", right-aligned in the field like numbers.
//   %c            a char (int argument), written as one byte
//   %s            a text (write; a null pointer writes nothing) or one
//                 blank-delimited word (scan)
//   %%            a percent sign
//
// Scanning:
//   * A leading "%s>" marks the text (or the file) as the source and is
//     otherwise ignored.
//   * White space in the format skips any white space in the input (blank,
//     tab, line feed, carriage return, vertical and form feed); any other
//     format text must match the input byte for byte.
//   * %d and %f skip leading white space, then read an optional '+' and what
//     std::from_chars accepts: an optional '-'; for %d decimal digits; for %f
//     digits with an optional point (".5" and "5." too) and an optional
//     exponent ("1e5", "2.5E-3"), or "inf", "infinity", "nan", "nan(...)" in
//     any case.  No hexadecimal, no digit grouping, no decimal comma: the
//     number ends at the first byte that cannot continue it ("1e" reads 1
//     and leaves "e", "1,5" reads 1).  A number out of the target's range
//     (2147483648 for %d; 1e400 or 1e-400 for %f) is not read.
//   * %s skips white space and reads a word up to the next white space; a
//     word longer than its char[N] target is cut to N - 1 bytes and passed
//     over whole.  %c reads the next byte, white space included, into an int.
//   * Modifiers are accepted and ignored.
//   * A target is written only when its conversion succeeds.  A NUL byte
//     ends the text of Scan; in a file it is a byte like any other that
//     belongs to no number.
//
// Results (every call):
//   Fmt, FmtFile     number of conversions made (%% is none; cutting the
//                    text at the end of the target does not lower it).
//                    FmtFile: kFileWriteError on a write failure,
//                    kFileBadArgument for a handle not open for writing.
//   Scan, ScanFile   number of targets filled; scanning stops at the first
//                    target that cannot be read.  ScanFile: kFileBadArgument
//                    for a handle not open for reading; a read error ends the
//                    input as the end of the file does.
//   ScanFileSkip     what the last of the reads that it passes over returns.
//
// Checks:
//   A format written as a literal is checked when the program is compiled,
//   against the types of the call's arguments.  The compiler refuses the
//   call, with an error that names a function named after the fault, when
//     * a conversion is not valid: format_has_an_unknown_conversion,
//       format_has_an_unknown_modifier, format_precision_above_99, ... (one
//       for each fault of the grammar above);
//     * an argument is not of the conversion's kind (%d and %c take an int
//       or a char, %f a double, %s a text; a target int&, double& or
//       char[N]): format_argument_does_not_match_conversion;
//     * there are fewer arguments than conversions:
//       format_has_more_conversions_than_arguments, or more:
//       format_has_more_arguments_than_conversions;
//     * Fmt: the least that the format writes (its own text, %% as one byte,
//       at least one byte or the field width for %d, %f and %c) is longer
//       than the target holds, so every call would cut it:
//       format_output_never_fits_target;
//     * Scan, ScanFile: a %s target is a char[1], which holds no byte of a
//       word: format_text_target_holds_no_character.
//   What a call writes at run time (a text argument longer than the target,
//   a number wider than expected) is not known then: it is cut as described.
//
//   A format built while the program runs is passed as RuntimeFormat(text)
//   and checked as it is used: arguments beyond its conversions are ignored
//   (such a format may use fewer), and a wrong format (a fault of the grammar,
//   an argument of the wrong kind, too few arguments) is a programming error:
//   debug builds abort with a message naming the format, release builds stop
//   the conversion there and return the count so far.  Scans check the whole
//   format in debug builds, also past the point where the input failed.
//
// Numbers are written and read with std::to_chars / std::from_chars:
// always a decimal point, whatever the desktop's locale.
//
// Like the rest of the engine, these calls belong to the user-interface
// thread; nothing here is locked.
#pragma once

#include "rte/format/args.h"
#include "rte/format/check.h"

#include <cstddef>
#include <span>
#include <string_view>
#include <type_traits>

namespace rte::fmt {

int format(std::span<char> out, std::string_view fmt, std::span<const Arg> args);
int formatFile(int handle, std::string_view fmt, std::span<const Arg> args);
int scan(std::string_view src, std::string_view fmt, std::span<const Arg> targets);
int scanFile(int handle, std::string_view fmt, std::span<const Arg> targets);
int skipFile(int handle, long long count, std::string_view fmt, std::span<const Arg> targets);

}  // namespace rte::fmt

// Writes into a fixed-size text; the result is always terminated and never
// longer than N - 1 bytes (longer output is cut).  A text argument may lie in
// the target ("%s.new" of the target itself): it is read as it stood before
// the call.
template <std::size_t N, typename... Args>
int Fmt(char (&target)[N], rte::fmt::WriteFormat<N - 1, std::type_identity_t<Args>...> format,
        const Args &...args)
{
    const rte::fmt::Arg list[] = {rte::fmt::in(args)..., rte::fmt::in(0)};
    return rte::fmt::format(std::span<char>(target, N), format.text(),
                            std::span<const rte::fmt::Arg>(list, sizeof...(Args)));
}

// Writes to an open file; the bytes reach the operating system (and, for a
// file opened for writing, stable storage) before the call returns: the
// whole text goes in one write(2), continued after a short write, followed by
// fdatasync.  A power cut loses at most the line in flight.  A write that
// fails (kFileWriteError) is taken back: a regular file is cut to its length
// before the call, so it never holds a torn line.
template <typename... Args>
int FmtFile(int handle,
            rte::fmt::WriteFormat<rte::fmt::kAnyLength, std::type_identity_t<Args>...> format,
            const Args &...args)
{
    const rte::fmt::Arg list[] = {rte::fmt::in(args)..., rte::fmt::in(0)};
    return rte::fmt::formatFile(handle, format.text(),
                                std::span<const rte::fmt::Arg>(list, sizeof...(Args)));
}

// Reads from a terminated text into int&, double& and char[N] targets.
template <typename... Targets>
int Scan(const char *source, rte::fmt::ScanFormat<std::type_identity_t<Targets>...> format,
         Targets &...targets)
{
    const rte::fmt::Arg list[] = {rte::fmt::out(targets)..., rte::fmt::in(0)};
    return rte::fmt::scan(source ? std::string_view(source) : std::string_view(), format.text(),
                          std::span<const rte::fmt::Arg>(list, sizeof...(Targets)));
}

// Reads from an open file, going on where the previous read stopped; later
// calls also see what was appended to the file meanwhile.  Each handle reads
// through a buffer of 256 KiB: a single token of nearly that length or
// longer (a line of a million digits) is not read, and the call returns.
template <typename... Targets>
int ScanFile(int handle, rte::fmt::ScanFormat<std::type_identity_t<Targets>...> format,
             Targets &...targets)
{
    const rte::fmt::Arg list[] = {rte::fmt::out(targets)..., rte::fmt::in(0)};
    return rte::fmt::scanFile(handle, format.text(),
                              std::span<const rte::fmt::Arg>(list, sizeof...(Targets)));
}

// Passes over `count` reads: the file and the targets are left as `count`
// calls of ScanFile(handle, format, targets...) would leave them, and the
// result is what the last of those calls would return (0 for a count of 0 or
// less; kFileBadArgument for a handle not open for reading).  With a format
// of only %d and %f conversions, a read that fills fewer targets than the
// format names ends the pass: each read after it would stop at the same
// byte and fill nothing.  (At the end of a file that grows meanwhile, those
// reads might have found more.)
// Made for thinning a file of millions of lines: with only %f conversions,
// a line of plain numbers ("1200.5\t2.091000e+05") is recognised without
// converting them, and only the last one passed over is converted, into the
// targets.
template <typename... Targets>
int ScanFileSkip(int handle, long long count,
                 rte::fmt::ScanFormat<std::type_identity_t<Targets>...> format, Targets &...targets)
{
    const rte::fmt::Arg list[] = {rte::fmt::out(targets)..., rte::fmt::in(0)};
    return rte::fmt::skipFile(handle, count, format.text(),
                              std::span<const rte::fmt::Arg>(list, sizeof...(Targets)));
}

namespace rte::fmt {
int readLine(int handle, char *line, std::size_t capacity);
long long countLinesLeft(int handle);
}
// What ReadLine returns when the file has no byte left.
enum { kFileEnd = -7 };
// Reads the next line from an open file, going on where the previous read
// (ReadLine or ScanFile) stopped: its bytes up to the line end (LF, or CR LF
// as Windows writes it; neither is kept), terminated.  A last line without
// a line end is a line.  A line longer than N - 1 bytes is cut to them and
// passed over whole.  Returns the line's length in the file without its
// line end (more than N - 1 when it was cut), kFileEnd when no byte is
// left, or kFileBadArgument for a handle not open for reading.  A read error
// ends the input as the end of the file does.
template <std::size_t N>
int ReadLine(int handle, char (&line)[N])
{
    static_assert(N > 0);
    return rte::fmt::readLine(handle, line, N);
}

// Passes over the rest of an open file, from where the previous read
// stopped, at the speed of memory whatever its lines hold: the number of
// lines ReadLine would still have read, or kFileBadArgument for a handle
// not open for reading.  A read error ends the input as the end of the
// file does.
inline long long CountLinesLeft(int handle) { return rte::fmt::countLinesLeft(handle); }

// File handles.  Paths are UTF-8, as every path in the engine's calls (the
// file dialog gives them so); on POSIX systems those bytes are the file
// system's name as they stand.  Handles are positive and not reused soon: a closed handle
// stays invalid (kFileBadArgument) rather than reaching a file opened later.
// Failures are negative:
enum {
    kFileNotFound = -1,     // no such file or directory
    kFileAccessDenied = -2, // permission denied, a directory, or no file (a pipe)
    kFileTooManyOpen = -3,  // 1024 handles open, or the process's limit
    kFileBadArgument = -4,  // caller bug: unknown mode, action or type, bad handle
    kFileIoError = -5,      // any other failure of the operating system
    kFileWriteError = -6,   // a write failed (disk full, file size limit, device gone)
};

// The action concerns writing: a read-only open never changes the file.  A
// text file has the platform's line end written for "\n" (on POSIX both
// kinds are the same).  A file opened for writing is created.
enum FileMode { kOpenReadWrite = 0, kOpenRead = 1, kOpenWrite = 2 };
enum FileAction { kOpenTruncate = 0, kOpenAppend = 1, kOpenKeep = 2 };  // keep: position at the start
enum FileType { kOpenBinary = 0, kOpenText = 1 };
int OpenFile(const char *path, int mode, int action, int type);
// 0; kFileBadArgument for a handle that is not open; kFileIoError when the
// system reports a failure (the handle is closed all the same).
int CloseFile(int handle);
// 1 and the size in bytes when the file exists, 0 when it does not (or the
// path names a directory), negative on other failures.
int GetFileInfo(const char *path, long long &size);
// Renames a file, replacing `to` at once if it exists (in one step on the
// same file system, so nobody ever sees half a file).  0 or a failure code.
int RenameFile(const char *from, const char *to);
// Removes a file: 0 once no file is under that name (removed, or none was
// there), or a failure code (a folder is not removed: kFileAccessDenied).
// Removing takes no room, so it works on a disk too full for any write.
int RemoveFile(const char *path);
// Creates a file anew for writing that only this user may read or write,
// from its first byte on: mode 0600 on POSIX; on Windows an access list of
// this user's alone, nothing taken from the folder's.  A file already under
// that name is removed first, so nobody who opened it before reads what is
// written now; a file that appears under the name meanwhile is refused
// (kFileAccessDenied or kFileIoError), as is a link.  A handle as OpenFile
// gives for writing, or a failure code.
int CreatePrivateFile(const char *path, int type);
// Lets only this user read and write an existing file, as CreatePrivateFile
// makes one.  0 or a failure code.
int MakeFilePrivate(const char *path);
