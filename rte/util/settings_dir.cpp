// The settings folder, the profiles below it and the claim that keeps one
// copy of the program to a folder.  The system's side is in utility_os.h
// and claim_os.h.
#include "rte/utility.h"
#include "rte/util/claim_os.h"
#include "rte/util/text_out.h"
#include "rte/util/utility_os.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace os = rte::util::os;

// Empty: the copy without a profile.
std::string &selected()
{
    static auto *name = new std::string;
    return *name;
}

// The settings folder of the copy without a profile.
std::string baseSettingsDir()
{
    char own[4096];
    if (rte::util::projectDir(own) != 0)
        return {};
    return os::mayWrite(own) ? std::string(own) : os::userSettingsDir();
}

std::string join(const std::string &dir, const char *name)
{
    return dir + os::kSeparator + name;
}

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

std::string upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// What Windows keeps for its devices, in every folder.
bool isDeviceName(const std::string &name)
{
    static const char *const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    const std::string u = upper(name);
    if (std::find(std::begin(kDevices), std::end(kDevices), u) != std::end(kDevices))
        return true;
    return u.size() == 4 && (u.starts_with("COM") || u.starts_with("LPT")) && u[3] >= '0' && u[3] <= '9';
}

// FNV-1a, 64 bits: a name for a path, not a secret.
std::string hashText(const std::string &text)
{
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return hex;
}

// The same text for every way of writing the folder's path.
std::string folderKey(const std::string &dir)
{
    std::error_code e;
    const auto canonical = std::filesystem::weakly_canonical(std::filesystem::u8path(dir), e);
    const std::u8string u8 = (e ? std::filesystem::u8path(dir) : canonical).u8string();
    std::string key(u8.begin(), u8.end());
    return os::kFoldsCase ? upper(key) : key;
}

}  // namespace

namespace rte::util {

int settingsDir(std::span<char> out)
{
    setEmpty(out);
    const std::string base = baseSettingsDir();
    if (base.empty())
        return -1;
    if (selected().empty())
        return copyWhole(out, base);
    const std::string profiles = join(base, "profiles");
    const std::string own = join(profiles, selected().c_str());
    if (!os::makeDirectory(profiles) || !os::makeDirectory(own))
        return -1;
    return copyWhole(out, own);
}

int profile(std::span<char> out)
{
    setEmpty(out);
    return selected().empty() ? 0 : copyWhole(out, selected());
}

int settingsDirId(std::span<char> out)
{
    char dir[4096];
    if (settingsDir(dir) != 0) {
        setEmpty(out);
        return -1;
    }
    return copyWhole(out, hashText(folderKey(dir)));
}

}  // namespace rte::util

const char *ProfileNameFault(const char *name)
{
    const std::string text = name ? name : "";
    if (text.empty())
        return "is empty";
    if (text.size() > kProfileNameSize - 1)
        return "is longer than 32 characters";
    if (!std::all_of(text.begin(), text.end(), isNameCharacter))
        return "may hold only letters (A to Z), digits, - and _";
    if (isDeviceName(text))
        return "is one that Windows keeps for a device";
    return nullptr;
}

int SelectProfile(const char *name)
{
    if (ProfileNameFault(name))
        return -1;
    selected() = name;
    return 0;
}

int ListProfiles(char (*names)[kProfileNameSize], int max)
{
    const std::string base = baseSettingsDir();
    if (base.empty() || max <= 0)
        return 0;
    std::vector<std::string> found;
    std::error_code e;
    for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::u8path(join(base, "profiles")), e)) {
        const std::u8string u8 = entry.path().filename().u8string();
        const std::string name(u8.begin(), u8.end());
        if (entry.is_directory(e) && !ProfileNameFault(name.c_str()))
            found.push_back(name);
    }
    std::sort(found.begin(), found.end());
    const int n = std::min(static_cast<int>(found.size()), max);
    for (int i = 0; i < n; ++i)
        std::snprintf(names[i], kProfileNameSize, "%s", found[static_cast<std::size_t>(i)].c_str());
    return n;
}

int ClaimSettingsDir(long *holder)
{
    if (holder)
        *holder = 0;
    char id[17];
    if (GetSettingsDirId(id) != 0)
        return -1;
    long pid = 0;
    const int claimed = os::claim(id, pid);
    if (holder)
        *holder = pid;
    return claimed;
}

int ClaimRequests()
{
    return os::claimRequests();
}

int AnswerClaimRequest()
{
    return os::answerClaimRequest();
}
