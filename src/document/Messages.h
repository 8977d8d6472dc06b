#pragma once

#include <cstdint>

// The program's window messages. Values are fixed: WM_APP plus an offset.
constexpr unsigned WM_APP_BASE = 0x8000;

enum Message : unsigned {
    UM_OUTPUT_LOG = WM_APP_BASE + 1000,
    UM_LOAD_DONE = WM_APP_BASE + 1001,
    UM_SAVE_ALL_DONE = WM_APP_BASE + 1002,
    UM_BLOCK_SAVED = WM_APP_BASE + 1003,
    UM_WAV_DONE = WM_APP_BASE + 1004,
    UM_PROGRESS_SHOW = WM_APP_BASE + 1005,
    UM_PROGRESS_SET = WM_APP_BASE + 1006,
    UM_STOP_PLAYBACK = WM_APP_BASE + 1007,
    UM_BREAKPOINT_BUTTON = WM_APP_BASE + 1008,
    UM_LIST_DONE = WM_APP_BASE + 1011,
    UM_QUERY_LOADING = WM_APP_BASE + 1101,
    UM_QUERY_LOADED = WM_APP_BASE + 1102,
    UM_QUERY_VIEW_FOCUS = WM_APP_BASE + 1103,
    UM_ADD_BREAKPOINT = WM_APP_BASE + 1201,
};

enum class LogLevel : int { Normal = 0, Warning = 1, Error = 2 };
