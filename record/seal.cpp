#include "record/seal.h"

#include <cmath>
#include <memory>

// The plain SHA-256 calls are marked deprecated in favour of EVP's; see
// SealChain below for why they are the ones wanted here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include "rte/formatio.h"
#include "rte/utility.h"

std::string as_written(std::string_view text)
{
#ifdef _WIN32
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
#else
    return std::string(text);
#endif
}

// OpenSSL's SHA-256 takes the processor's own instructions for it where
// there are some (Qt's took 30 times the viewer's drawing of a recording to
// verify it).  Its plain SHA256_* calls, not EVP's: those start OpenSSL's
// library, which reads a configuration file, and where that file is read
// from is for publishing to point first (rte/mqtt/paho_win32.cpp).
SealChain::SealChain() : hasher_(new SHA256_CTX)
{
    SHA256_Init(hasher_);
}

SealChain::~SealChain()
{
    delete hasher_;
}

void SealChain::add(const char *bytes, std::size_t size)
{
    SHA256_Update(hasher_, bytes, size);
}

std::string SealChain::next()
{
    unsigned char hash[SHA256_DIGEST_LENGTH];
    SHA256_Final(hash, hasher_);
    SHA256_Init(hasher_);
    SHA256_Update(hasher_, hash, sizeof hash);
    static const char kDigits[] = "0123456789abcdef";
    std::string text(2 * sizeof hash, '0');
    for (std::size_t i = 0; i < sizeof hash; ++i) {
        text[2 * i] = kDigits[hash[i] >> 4];
        text[2 * i + 1] = kDigits[hash[i] & 15];
    }
    return text;
}

std::string seal_entry_line(const SealEntry &entry)
{
    char counts[64];
    Fmt(counts, "%f[p0] %f[p0]", static_cast<double>(entry.lines), static_cast<double>(entry.bytes));
    return "seal=" + entry.kind + " " + entry.time_utc + " " + counts + " " + entry.hash + "\n";
}

static bool read_count(std::string_view text, long long &value)
{
    // Up to 18 digits: no count the program writes comes near, and none
    // overflows.
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    value = 0;
    for (const char c : text)
        value = value * 10 + (c - '0');
    return true;
}

bool read_seal_entry(std::string_view value, SealEntry &entry)
{
    // "minute 2026-12-10T16:26:03.120Z 61 1342 <64 hexadecimal digits>"
    std::string_view parts[5];
    std::size_t n = 0, at = 0;
    for (; n < 5 && at <= value.size(); ++n) {
        const std::size_t blank = std::min(value.find(' ', at), value.size());
        parts[n] = value.substr(at, blank - at);
        at = blank + 1;
    }
    if (n != 5 || at <= value.size() || (parts[0] != "minute" && parts[0] != "end") || parts[1].empty() ||
        parts[1].size() > 40 || !read_count(parts[2], entry.lines) || !read_count(parts[3], entry.bytes) ||
        parts[4].size() != 64 || parts[4].find_first_not_of("0123456789abcdef") != std::string_view::npos)
        return false;
    entry.kind = parts[0];
    entry.time_utc = parts[1];
    entry.hash = parts[4];
    return true;
}

namespace {

struct Seal {
    std::unique_ptr<SealChain> chain;
    int file = 0;
    long long lines = 0;
    long long bytes = 0;
    double next_entry = 0;   // Timer() when the next minute's entry is due
    std::string unwritten;   // entries that the run file did not take yet
};

Seal seal;

}  // namespace

void seal_begin(int run_file, std::string_view fields)
{
    seal_close();
    seal.chain = std::make_unique<SealChain>();
    const std::string written = as_written(fields);
    seal.chain->add(written.data(), written.size());
    seal.chain->next();
    seal.file = run_file;
    seal.next_entry = Timer() + 60.0;
}

void seal_line(const char *line)
{
    if (!seal.chain)
        return;
    const std::string bytes = as_written(line);
    seal.chain->add(bytes.data(), bytes.size());
    seal.lines += 1;
    seal.bytes += static_cast<long long>(bytes.size());
}

bool seal_due()
{
    return seal.chain && Timer() >= seal.next_entry;
}

int seal_write(const char *kind, SealEntry &entry)
{
    if (!seal.chain)
        return -1;
    char now[40];
    GetIsoTime(now, 1);
    entry.kind = kind;
    entry.time_utc = now;
    entry.lines = seal.lines;
    entry.bytes = seal.bytes;
    entry.hash = seal.chain->next();
    // On the minutes of the run's clock, so that the entries do not drift
    // by a cycle each minute; minutes that passed without a line are not
    // made up.
    const double now_timer = Timer();
    if (seal.next_entry <= now_timer)
        seal.next_entry += 60.0 * (std::floor((now_timer - seal.next_entry) / 60.0) + 1.0);
    // An entry the run file did not take goes in with the next: a chain
    // with an entry missing would not verify.
    seal.unwritten += seal_entry_line(entry);
    if (FmtFile(seal.file, "%s", seal.unwritten.c_str()) < 0)
        return 1;
    seal.unwritten.clear();
    return 0;
}

void seal_close()
{
    if (seal.file > 0)
        CloseFile(seal.file);
    seal = Seal{};
}
