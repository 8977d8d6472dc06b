#pragma once

#include <memory>

namespace mp3 {
class LoadCache;
}

// The load cache of the user: XDG_CACHE_HOME/kerfline, bounded by the settings group "LoadCache"
// ("BoundBytes", 1 GiB unless set; 0 keeps no cache, and nothing is returned).
std::shared_ptr<const mp3::LoadCache> userLoadCache();
