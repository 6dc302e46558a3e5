// A check that holds in every build: a failure is a finding for the fuzzer.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(cond)                                                                 \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

// A text target with guard bytes behind it, prefilled so that a write that
// should not have happened shows.
template <std::size_t N>
struct Guarded {
    char text[N];
    char guard[16];
    Guarded()
    {
        std::memset(text, 'T', N);
        std::memset(guard, 0x5a, sizeof guard);
    }
    // The length of the text, which must be terminated within its target.
    std::size_t terminatedLength() const
    {
        guardIntact();
        const void *end = std::memchr(text, '\0', N);
        FUZZ_CHECK(end != nullptr);
        return static_cast<std::size_t>(static_cast<const char *>(end) - text);
    }
    // A filled target is terminated; an unfilled one is left alone.
    void check(bool filled) const
    {
        if (filled) {
            terminatedLength();
            return;
        }
        guardIntact();
        for (char c : text)
            FUZZ_CHECK(c == 'T');
    }
    void guardIntact() const
    {
        for (char c : guard)
            FUZZ_CHECK(c == 0x5a);
    }
};
