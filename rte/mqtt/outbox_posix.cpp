#include "rte/mqtt/outbox_os.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace rte::outbox::os {
namespace {

FileId idOf(const struct stat &s)
{
    return FileId{static_cast<unsigned long long>(s.st_dev), static_cast<unsigned long long>(s.st_ino), true};
}

std::string parentOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// FNV-1a: the name needs to be short and the same in every process, not
// secret.
unsigned long long hashOf(const std::string &text)
{
    unsigned long long h = 1469598103934665603ULL;
    for (const unsigned char c : text)
        h = (h ^ c) * 1099511628211ULL;
    return h;
}

}  // namespace

FileId fileId(const std::string &path)
{
    struct stat s {};
    return ::stat(path.c_str(), &s) == 0 ? idOf(s) : FileId{};
}

FileId fileIdOf(int fd)
{
    struct stat s {};
    return ::fstat(fd, &s) == 0 ? idOf(s) : FileId{};
}

bool makeFolder(const std::string &path)
{
    struct stat s {};
    if (::stat(path.c_str(), &s) == 0)
        return S_ISDIR(s.st_mode);
    const std::string parent = parentOf(path);
    if (parent != path && !makeFolder(parent))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

void removeName(const std::string &path)
{
    ::unlink(path.c_str());
}

long long claimPath(const std::string &path, bool &held)
{
    held = false;
    // The folder's own name, so that two spellings of it (a link, "..")
    // meet in one claim.
    const std::size_t slash = path.find_last_of('/');
    char *real = ::realpath(parentOf(path).c_str(), nullptr);
    if (!real)
        return -1;
    const std::string key = std::string(real) + path.substr(slash == std::string::npos ? 0 : slash);
    std::free(real);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    char name[64];
    const int n = std::snprintf(name, sizeof name, "vandrel-outbox-%016llx", hashOf(key));
    // The leading NUL puts the name in the abstract namespace.
    std::memcpy(a.sun_path + 1, name, static_cast<std::size_t>(n));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(n));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&a), length) != 0) {
        held = errno == EADDRINUSE;
        ::close(fd);
        return -1;
    }
    return fd;
}

void releasePath(long long handle)
{
    if (handle >= 0)
        ::close(static_cast<int>(handle));
}

}  // namespace rte::outbox::os
