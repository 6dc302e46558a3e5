// Private to the engine: recognising the records that a read of a format of
// only %f conversions takes, without converting their numbers, so that
// ScanFileSkip (files_format.cpp) passes over millions of recording lines at
// the speed of memory.
//
// A record is what one such read takes whole: white space, then the
// format's numbers apart by white space, and the white space that follows
// the last number, which ends it (and which the read leaves unread).  Only
// numbers of a plain shape are recognised:
//     [+-] digits [. digits] [e|E [+-] one or two digits]
// in a record of at most kWindow bytes, so that each one lies well inside
// the range of a double and std::from_chars reads it whole.  Anything else
// (nan, inf, "5.", ".5", 1e300, a line cut short, junk, a NUL byte, a longer
// record) is not recognised and is left to the exact scanner.
//
// Whether a record is recognised depends only on the class of each byte:
// digit, sign, or the byte itself.  A recording holds millions of records of
// one shape, so the last record recognised is kept as a pattern and the
// next one is compared with it sixteen bytes at a time; only a record of
// another shape goes through the check byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rte::fmt::detail {

class NumberRecords {
public:
    // Bytes at hand that recognising a record needs, and the longest record
    // (with the byte after it) that is recognised.
    static constexpr std::size_t kWindow = 64;

    explicit NumberRecords(std::size_t numbers) : numbers_(numbers) {}

    // The length of the record that starts at p, up to and not including the
    // white space after its last number; 0 when it is not recognised or fewer
    // than kWindow bytes lie before end.
    std::size_t pass(const char *p, const char *end)
    {
        if (end - p < static_cast<std::ptrdiff_t>(kWindow))
            return 0;
        if (length_ != 0 && samePattern(p))
            return length_;
        const std::size_t length = check(p);
        if (length != 0)
            learn(p, length);
        return length;
    }

private:
    using Lanes = std::uint8_t __attribute__((vector_size(16)));
    static constexpr std::size_t kChunks = kWindow / sizeof(Lanes);

    // The pattern's test for each byte: (byte ^ literal) & keep must be 0,
    // and ((byte & 15) + 6) & nibbleMask must equal nibbleWant.  A digit
    // keeps its high nibble 3 and a low nibble below 10; a sign '+' or '-'
    // is 0x29 to 0x2f with a low nibble of 11 or 13; any other byte is
    // itself.
    bool samePattern(const char *p) const
    {
        Lanes wrong{};
        for (std::size_t c = 0; c < chunks_; ++c) {
            Lanes x;
            std::memcpy(&x, p + c * sizeof(Lanes), sizeof x);
            wrong |= ((x ^ literal_[c]) & keep_[c]) |
                     ((((x & 15) + 6) & nibbleMask_[c]) ^ nibbleWant_[c]);
        }
        std::uint64_t half[2];
        std::memcpy(half, &wrong, sizeof half);
        return (half[0] | half[1]) == 0;
    }

    // The record at p (kWindow bytes at hand) checked byte by byte: its
    // length, or 0.
    std::size_t check(const char *p) const;
    // Keeps the record at p, recognised with this length, as the pattern.
    void learn(const char *p, std::size_t length);

    std::size_t numbers_;
    std::size_t length_ = 0;  // the pattern's record; 0: none yet
    std::size_t chunks_ = 0;  // sixteen-byte pieces that hold it and the byte after it
    Lanes literal_[kChunks];
    Lanes keep_[kChunks];
    Lanes nibbleMask_[kChunks];
    Lanes nibbleWant_[kChunks];
};

}  // namespace rte::fmt::detail
