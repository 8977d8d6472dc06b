#pragma once

#include <mutex>

// Serialises every decoder call with stopping the player and starting playback from a break point.
extern std::mutex g_audioLock;
