#include "bench/recording_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <fcntl.h>
#include <unistd.h>

#include "rte/formatio.h"

// Windows: descriptors are not inherited by programs started later, and
// without O_BINARY the C run time would translate line ends.
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace bench {

long long parseSize(const char *text)
{
    char *end = nullptr;
    double v = std::strtod(text, &end);
    switch (end && *end ? *end : ' ') {
    case 'k': case 'K': v *= 1024; break;
    case 'm': case 'M': v *= 1024 * 1024; break;
    case 'g': case 'G': v *= 1024.0 * 1024 * 1024; break;
    default: break;
    }
    return static_cast<long long>(v);
}

void writeRecording(const std::string &path, long long size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_BINARY, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::mt19937_64 rng(2014);
    std::uniform_real_distribution<double> mant(1.0, 10.0);
    std::uniform_int_distribution<int> ex(-3, 6);
    std::string chunk;
    chunk.reserve(4 << 20);
    long long written = 0;
    double t = 1e6;
    char line[64];
    while (written < size) {
        chunk.clear();
        while (chunk.size() < (4u << 20) && written + static_cast<long long>(chunk.size()) < size) {
            const double value = mant(rng) * std::pow(10.0, ex(rng));
            Fmt(line, " %f[p1]\t%f[e2] \n", t, value);
            chunk += line;
            t += 1.0 + static_cast<double>(rng() % 100) / 1000.0;
        }
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
            std::perror("write");
            std::exit(1);
        }
        written += static_cast<long long>(chunk.size());
    }
    ::close(fd);
}

}  // namespace bench
