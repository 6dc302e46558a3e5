// Recording a run's readings to a plain-text .dat file.
#pragma once

void speichern_starten();
// Opens state.log_path, named already, as the run's recording, without a
// question: the handle, or the failure code of OpenFile.
int aufzeichnung_oeffnen();
void aufzeichnen();
