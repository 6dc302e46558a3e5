// The settings file "vandrel.ini" in the program's directory: one line of
// the seven settings, read at start-up and written at the end.
#pragma once

void settings_load();
void settings_save();
