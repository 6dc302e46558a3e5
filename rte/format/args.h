// The arguments of a format call as the variadic front ends of formatio.h
// pass them, and the kind of argument each conversion takes.
#pragma once

#include <cstddef>

namespace rte::fmt {

// One argument of a format call.
struct Arg {
    enum class Kind { Int, Double, Text, IntOut, DoubleOut, TextOut } kind;
    union {
        int i;
        double d;
        const char *s;
        int *ip;
        double *dp;
        char *sp;
    };
    std::size_t capacity = 0;  // TextOut: bytes available, terminator included
};

constexpr Arg in(int v) { Arg a{Arg::Kind::Int, {}}; a.i = v; return a; }
constexpr Arg in(char v) { return in(static_cast<int>(static_cast<unsigned char>(v))); }
constexpr Arg in(double v) { Arg a{Arg::Kind::Double, {}}; a.d = v; return a; }
constexpr Arg in(const char *v) { Arg a{Arg::Kind::Text, {}}; a.s = v; return a; }
constexpr Arg out(int &v) { Arg a{Arg::Kind::IntOut, {}}; a.ip = &v; return a; }
constexpr Arg out(double &v) { Arg a{Arg::Kind::DoubleOut, {}}; a.dp = &v; return a; }
template <std::size_t N>
constexpr Arg out(char (&v)[N]) { Arg a{Arg::Kind::TextOut, {}}; a.sp = v; a.capacity = N; return a; }

// The argument a conversion writes ('d', 'f', 'c' or 's').
constexpr Arg::Kind argumentKind(char conversion)
{
    return conversion == 'f' ? Arg::Kind::Double
           : conversion == 's' ? Arg::Kind::Text
                               : Arg::Kind::Int;
}

// The target a conversion reads into.
constexpr Arg::Kind targetKind(char conversion)
{
    return conversion == 'f' ? Arg::Kind::DoubleOut
           : conversion == 's' ? Arg::Kind::TextOut
                               : Arg::Kind::IntOut;
}

}  // namespace rte::fmt
