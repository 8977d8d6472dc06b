#pragma once

#include <algorithm>
#include <optional>

// Where the view scrolls to follow playback: when the play position `playFrame` lies outside the
// `visible` frames from `first`, the new first frame puts it a twentieth of the screen from the left
// edge (a page turn, so the picture stands still while it plays across); nothing when it shows.
inline std::optional<long long> followScroll(long long playFrame, long long first, long long visible) {
    if (playFrame < 0 || visible <= 0 || (playFrame >= first && playFrame < first + visible)) {
        return std::nullopt;
    }
    return std::max(0LL, playFrame - visible / 20);
}
