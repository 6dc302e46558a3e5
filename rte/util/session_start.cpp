// The start with the user's session: one entry for the copy without a
// profile, one for each profile.  The system's side is in utility_os.h.
#include "rte/utility.h"
#include "rte/util/text_out.h"
#include "rte/util/utility_os.h"

namespace {

namespace os = rte::util::os;

std::string profileName()
{
    char name[kProfileNameSize];
    GetProfile(name);
    return name;
}

}  // namespace

namespace rte::util {

int sessionStartPath(std::span<char> out)
{
    return copyWhole(out, os::sessionStartPath(profileName()));
}

}  // namespace rte::util

int GetSessionStart()
{
    const std::string entry = os::sessionStartPath(profileName());
    if (entry.empty())
        return -1;
    return os::fileExists(entry) ? 1 : 0;
}

int SetSessionStart(int on)
{
    const std::string profile = profileName();
    const std::string entry = os::sessionStartPath(profile);
    if (entry.empty())
        return -1;
    if (on == 0)
        return os::removeSessionStart(entry) ? 0 : -1;
    const std::string exe = os::executablePath();
    return !exe.empty() && os::writeSessionStart(entry, exe, profile) ? 0 : -1;
}
