// The fuzzer's input as a file, for targets that read through the engine's
// file handles: one file per process, rewritten for each input and removed
// when the process ends.
#pragma once

#include "fuzz_check.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

// `name` tells the targets' files apart ("fuzz_lines_<pid>.events").
inline const std::string &writeInputFile(const char *name, const std::uint8_t *data, std::size_t size)
{
    static const std::string path = [name] {
        const char *dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/" + name;
    }();
    static const bool removedAtExit = std::atexit([] { ::unlink(path.c_str()); }) == 0;
    (void)removedAtExit;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, data, size) == static_cast<ssize_t>(size));
    ::close(fd);
    return path;
}
