#include "engine/AudioLock.h"

std::mutex g_audioLock;
