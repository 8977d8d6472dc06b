#pragma once

#include <optional>

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The state of the Caps, Num and Scroll Lock keys, where the platform can tell; nothing elsewhere.
std::optional<LockKeyState> queryLockKeys();
