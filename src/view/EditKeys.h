#pragma once

#include "document/Messages.h"

// The view's Delete and Shift+P keys, sent to the main window, which runs them as its Edit commands
// (Remove Block, Play Around Break Point) when their rules hold.
constexpr unsigned UM_REMOVE_BLOCK = WM_APP_BASE + 1210;
constexpr unsigned UM_PLAY_AROUND = WM_APP_BASE + 1211;
