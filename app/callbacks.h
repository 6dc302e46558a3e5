// Starts the engine with the table that binds the callback names of the
// panel file to the program's routines.
#pragma once

void start_engine(int &argc, char **argv);
