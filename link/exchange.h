// One query to the analyser and its reply: the reading and its display text.
#pragma once

void abfragen();
