// Private to the engine: what the file front ends of the format language
// (FmtFile, ScanFile) are made of: writing, scanning and the compiled path
// for plainly numeric formats.  Not for the program.
#pragma once

#include "rte/format/numeric.h"
#include "rte/format/scan.h"
#include "rte/format/write.h"
