#pragma once

#include "engine/Decoding.h"
#include "engine/ScanParts.h"

namespace mp3 {

// The wiring: the process's one cache and its one decoder, serialised by g_audioLock.
Decoding processDecoding();

// How the loading scan uses the machine's cores: two parts, or one where there is one core or the
// environment sets KERFLINE_SCAN_IN_ORDER (for comparing the two scans).
ParallelDecode processParallelDecode();

} // namespace mp3
