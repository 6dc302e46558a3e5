// Opening the analyser's serial port with its line parameters.
#pragma once

void ComOpen();
