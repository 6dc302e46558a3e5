// The settings file "vandrel.ini": one line of the seven settings, read at
// start-up and written at the end.  It lives in the program's directory, or
// in the user's configuration directory where the program's is not
// writable.
#pragma once

#include "app/state.h"

// 0 and the file's path; negative and an empty path where no valid name
// exists (no settings directory, or a path that does not fit): then the
// settings are neither read nor written.
int settings_path(char (&path)[kPathSize]);
// The same for another file of the program's beside it (its name given).
int settings_file_path(const char *name, char (&path)[kPathSize]);
// A whole new version of a file there is written to a temporary beside it
// and renamed over it, so that a program killed while saving leaves the old
// file, never half of one.  Give the temporary a name no longer than the
// file's own: it then fits wherever that does.  Opens the temporary for
// writing (its path in `fresh`); a handle, or 0 or negative on failure.
// With `owner_only`, nobody but this user may read it from its first byte
// on, nor the file it replaces.
int settings_file_create(const char *temp, char (&fresh)[kPathSize], int owner_only = 0);
// Closes the temporary and, when `written` (the last FmtFile's result) says
// every write went through, renames it over `name`.  0 when it did.
int settings_file_replace(int file, int written, const char *fresh, const char *name);
void settings_load();
// 0 once the file holds the settings; otherwise it keeps what it held.
int settings_save();
