// One query to the analyser and its reply: the reading and its display text.
#pragma once

void abfragen();
// What the reply in `state.reply` says to the query in `state.command`:
// the reading and its text.  No input or output of its own.
void auswerten();
