// The seal: a chain of SHA-256 checksums over the recording's bytes, kept
// in the run file.  The chain starts from the run file's fields as written;
// each entry hashes the entry before and the recording's bytes since it,
// and holds the lines and bytes so far.  One entry each minute and one at
// the end of the run, each synced when written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct SealEntry {
    std::string kind;      // "minute", or "end" for the entry that closed the run
    std::string time_utc;  // when it was written, "2026-12-10T16:26:03.120Z"
    long long lines = 0;   // the recording's lines so far
    long long bytes = 0;   // and its bytes
    std::string hash;      // 64 hexadecimal digits
};

// The line of the run file that holds an entry, with its line end; and
// the entry from such a line's value (after "seal="): false for one that
// does not read.
std::string seal_entry_line(const SealEntry &entry);
bool read_seal_entry(std::string_view value, SealEntry &entry);

// The system's text as a file opened as text holds it: CR LF for each
// line end on Windows.
std::string as_written(std::string_view text);

struct SHA256state_st;

// The chain, as the program writes it and verification reads it again: it
// begins from the hash of the run file's fields as written (added, then
// next()); each entry is the hash of the entry before and the bytes added
// since.
class SealChain {
public:
    SealChain();
    ~SealChain();
    SealChain(const SealChain &) = delete;
    SealChain &operator=(const SealChain &) = delete;
    void add(const char *bytes, std::size_t size);
    // The entry's hash, in hexadecimal, for everything added since the
    // last; the chain goes on from it.
    std::string next();

private:
    SHA256state_st *hasher_;
};

// The seal of the run being recorded, on the run file's open handle.
void seal_begin(int run_file, std::string_view fields);
// A recording line as formatted and written, "\n" at its end.
void seal_line(const char *line);
// Whether a minute has passed since the last entry, or the start.
bool seal_due();
// Writes an entry of this kind ("minute" or "end") to the run file,
// synced: 0 and the entry.  1 and the entry when the run file does not
// take it: it is kept and written with the next.  Negative when no run is
// sealed.
int seal_write(const char *kind, SealEntry &entry);
// Closes the run file; no seal until the next begin.
void seal_close();
