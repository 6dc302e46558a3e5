#include "rte/utility.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace rte::util {

int hostName(std::span<char> out)
{
    if (out.empty())
        return -1;
    char name[256] = {};
#ifdef _WIN32
    DWORD size = sizeof name;
    const bool ok = GetComputerNameA(name, &size) != 0;
#else
    const bool ok = gethostname(name, sizeof name - 1) == 0;
#endif
    const std::size_t length = ok ? std::strlen(name) : 0;
    if (length == 0 || length >= out.size()) {
        out[0] = '\0';
        return -1;
    }
    std::memcpy(out.data(), name, length + 1);
    return 0;
}

}  // namespace rte::util
