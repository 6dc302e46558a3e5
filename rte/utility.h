// Clock, paths and texts.  Paths are UTF-8, as everywhere in the engine's
// calls.
#pragma once

#include <cstddef>
#include <span>

// Monotonic seconds since an arbitrary origin; only differences mean anything.
double Timer();

// Blocks the calling thread for the given seconds without processing events.
// Zero, negative and NaN delays return at once.
void Delay(double seconds);

// Seconds since 1970-01-01 UTC by the system's clock: for spans that
// outlast the process or the computer's uptime, which Timer does not
// measure.
double GetUnixTime();

namespace rte::util {
int projectDir(std::span<char> out);
int settingsDir(std::span<char> out);
int makePathname(const char *dir, const char *name, std::span<char> out);
int isoTime(std::span<char> out, bool utc);
int hostName(std::span<char> out);
int userAccount(std::span<char> out);
int copyUtf8(std::span<char> out, const char *text);
int sessionStartPath(std::span<char> out);
int profile(std::span<char> out);
int settingsDirId(std::span<char> out);
}  // namespace rte::util

// The directory that holds the running executable, without a trailing
// separator.  0 on success, negative when it does not fit.
template <std::size_t N>
int GetProjectDir(char (&dir)[N]) { return rte::util::projectDir(dir); }

// Where the program keeps its settings: its own directory while the user
// may write there; otherwise (an installed, shared copy) the user's own
// configuration directory for it, $XDG_CONFIG_HOME/<program> or
// ~/.config/<program> (on Windows %APPDATA%\vandrel), created when
// missing.  A copy that runs a profile (SelectProfile) keeps them in
// "profiles/<name>" below that, created when missing.  0 on success,
// negative when no such directory can be had or it does not fit.
template <std::size_t N>
int GetSettingsDir(char (&dir)[N]) { return rte::util::settingsDir(dir); }

// Joins a directory and a file name with the platform's separator.
// 0 on success; negative, leaving an empty text, when the result would not
// fit in the target (at most N - 1 bytes).
template <std::size_t N>
int MakePathname(const char *dir, const char *name, char (&path)[N])
{
    return rte::util::makePathname(dir, name, path);
}

// The present moment as ISO 8601 text with milliseconds: the local time with
// its offset from UTC ("2026-12-10T17:25:03.120+01:00"), or with utc 1 the
// UTC time ("2026-12-10T16:25:03.120Z").  0 on success; negative, leaving an
// empty text, when it does not fit (30 bytes always do).
template <std::size_t N>
int GetIsoTime(char (&text)[N], int utc) { return rte::util::isoTime(text, utc != 0); }

// The computer's name on the network.  0 on success; negative, leaving an
// empty text, when it cannot be had or does not fit.
template <std::size_t N>
int GetHostName(char (&name)[N]) { return rte::util::hostName(name); }

// The account the program runs under, as the system names it (on Windows
// without the domain).  0 on success; negative, leaving an empty text,
// when it cannot be had or does not fit.
template <std::size_t N>
int GetUserAccount(char (&name)[N]) { return rte::util::userAccount(name); }

// Copies a text into the target as UTF-8: a text that is UTF-8 as it
// stands, one that is not as Windows-1252 (the program's texts before they
// crossed as UTF-8), converted.  Cut before a character that does not fit.
// 0 when copied as it stood, 1 when converted.
template <std::size_t N>
int CopyUtf8(char (&target)[N], const char *text) { return rte::util::copyUtf8(target, text); }

// Starting the program with the user's session: on Linux a desktop entry in
// the user's autostart folder ($XDG_CONFIG_HOME/autostart or
// ~/.config/autostart, "vandrel.desktop"), on Windows a shortcut in the
// user's Startup folder ("Vandrel.lnk"); either starts the running
// executable.  A copy that runs a profile has an entry of its own,
// "vandrel-<name>.desktop" or "Vandrel <name>.lnk", that starts the
// executable with "--profile <name>".
// 1 when the entry is there, 0 when not, negative when the system has no
// such folder for this user.
int GetSessionStart();
// Writes the entry (whole or not at all, its folder created when missing)
// or removes it.  0 when it now stands as asked, negative when not.
int SetSessionStart(int on);
// The entry's path, for the operator.  0, or negative and an empty text
// when there is no such folder or the path does not fit.
template <std::size_t N>
int GetSessionStartPath(char (&path)[N]) { return rte::util::sessionStartPath(path); }

// Profiles: several copies of the program on one computer, each with a
// name and a settings folder of its own.
enum { kProfileNameSize = 33 };  // 32 characters and the end
// Why `name` cannot name a profile, completing "The name ...", or nullptr
// when it can: 1 to 32 ASCII letters, digits, '-' and '_', and not a name
// that Windows keeps for a device (CON, NUL, COM1 ...), so that a folder of
// that name can be made on either system.
const char *ProfileNameFault(const char *name);
// From now on the settings folder is the profile's.  Once, before the
// settings folder is first used.  0, or negative for a name with a fault.
int SelectProfile(const char *name);
// The profile selected, or an empty text for the copy without one.
template <std::size_t N>
int GetProfile(char (&name)[N]) { return rte::util::profile(name); }
// The profiles that have a folder below the settings folder of the copy
// without a profile, sorted; at most `max` names.  Their count.
int ListProfiles(char (*names)[kProfileNameSize], int max);
// Sixteen hexadecimal digits that name the settings folder: the same for
// every copy that keeps its settings there, different for another folder.
// 0, or negative when there is no settings folder.
template <std::size_t N>
int GetSettingsDirId(char (&id)[N]) { return rte::util::settingsDirId(id); }

// Only one copy of the program keeps its settings in one folder at a time.
// Claims the settings folder for this process until it ends, by a claim of
// the system's that the process's end, however it comes, lets go and that
// no file deleted meanwhile can break: 1.  When another process holds the
// claim, asks it to bring its window to the front and returns 0, with its
// process number in `holder` where the system tells it (else 0).  Negative
// when the claim cannot be made (no settings folder).
int ClaimSettingsDir(long *holder);
// The copy holding the claim listens for such requests: a descriptor that
// becomes readable when one comes (POSIX), or -1 where the asking copy
// brings the window forward itself (Windows).  AnswerClaimRequest takes
// the request; 1 when there was one.
int ClaimRequests();
int AnswerClaimRequest();
