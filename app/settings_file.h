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
void settings_load();
void settings_save();
