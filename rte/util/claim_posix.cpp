// The claim on a settings folder on Linux: a listening socket in the
// abstract namespace, named after the folder.  The kernel lets go of it
// when the process ends, however it ends, and no file stands for it that
// could be deleted; the copy that finds it taken connects to it, which
// asks the holder to come forward and tells who the holder is.
#include "rte/util/claim_os.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace rte::util::os {
namespace {

int g_listening = -1;

socklen_t address(const std::string &id, sockaddr_un &a)
{
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    // The leading NUL puts the name in the abstract namespace.
    const std::string name = "vandrel-settings-" + id;
    std::memcpy(a.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// Connects to the holder, which takes the connection as a request to come
// forward, and reads who it is.
long askHolder(const sockaddr_un &a, socklen_t length)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    long pid = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&a), length) == 0) {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0)
            pid = peer.pid;
    }
    ::close(fd);
    return pid;
}

}  // namespace

int claim(const std::string &id, long &holder)
{
    holder = 0;
    sockaddr_un a;
    const socklen_t length = address(id, a);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&a), length) != 0) {
        const int e = errno;
        ::close(fd);
        if (e != EADDRINUSE)
            return -1;
        holder = askHolder(a, length);
        return 0;
    }
    if (::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    g_listening = fd;
    return 1;
}

int claimRequests()
{
    return g_listening;
}

int answerClaimRequest()
{
    if (g_listening < 0)
        return 0;
    const int fd = ::accept4(g_listening, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return 0;
    ::close(fd);
    return 1;
}

}  // namespace rte::util::os
