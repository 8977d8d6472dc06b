#pragma once

#include "engine/Decoding.h"

namespace mp3 {

// The wiring: the process's one cache and its one decoder, serialised by g_audioLock.
Decoding processDecoding();

} // namespace mp3
