// Private to the engine: the operating-system side of the program's paths,
// one file per system behind this contract (utility_posix.cpp,
// utility_win32.cpp).  Paths are UTF-8.
#pragma once

#include <string>

namespace rte::util::os {

// What joins a directory and a name.
extern const char kSeparator;
// Whether the system takes "A" and "a" in a path for the same name.
extern const bool kFoldsCase;
bool isSeparator(char c);
// The running executable's full path; empty when the system does not tell.
std::string executablePath();
// Whether this user may create files in `dir`.
bool mayWrite(const std::string &dir);
// Creates the folder, the user's alone, unless it is there; whether it is.
bool makeDirectory(const std::string &path);
// The user's own directory for the program's settings, created when
// missing; empty when there is none.
std::string userSettingsDir();
// The entry that starts the program, or the profile (empty: none), with
// the user's session (see GetSessionStart); empty when there is no such
// folder.
std::string sessionStartPath(const std::string &profile);
// Writes that entry, for the executable `exe` and the profile, whole or
// not at all; or removes it.  Whether it now stands as asked.
bool writeSessionStart(const std::string &entry, const std::string &exe, const std::string &profile);
bool removeSessionStart(const std::string &entry);
bool fileExists(const std::string &path);
// This computer's name on the network; empty when the system does not tell.
std::string hostName();
// The account this process runs under; empty when the system does not tell.
std::string userAccount();

}  // namespace rte::util::os
