// The analyser this copy of the program runs: its name from the command
// line ("--profile NAME"; none keeps the settings folder of earlier
// versions), the claim on its settings folder, and its name in the titles.
#pragma once

enum StartAs {
    kStartAnalyser,  // run the analyser, claimed
    kStartChooser,   // only choose another analyser to start ("--another")
    kStartNot,       // end at once with the status given
};

// Reads the command line after the toolkit has taken its own options.  A
// name or an option the program does not take is said (standard error and
// a message box) and ends the start with status 2, before anything is
// written.
StartAs read_command_line(int argc, char **argv, int &status);
// Claims the settings folder for this copy: 1, go on.  0 when another copy
// runs this analyser already: it was asked to come forward, and this start
// says so and ends.
int claim_analyser();
// Puts the analyser's name before the panel's title ("bench2 - Serial
// port"): with several analysers on one screen, each window says whose it
// is.  Titles stay as they are for the copy without a profile.
void show_analyser(int panel);
