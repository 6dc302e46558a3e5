// Recording a run's readings to a plain-text .dat file.
#pragma once

void speichern_starten();
void aufzeichnen();
