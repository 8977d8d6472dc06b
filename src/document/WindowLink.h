#pragma once

#include "document/Messages.h"

#include <cstdint>
#include <string>

// How the core talks to a window (the main frame, the view, a dialog). `send` returns the handler's
// result after it ran on the GUI thread (a direct call there, a blocking queued call from a worker);
// `post` queues the message and returns at once.
class WindowLink {
public:
    virtual ~WindowLink() = default;
    virtual std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// UM_OUTPUT_LOG carries the level in wParam and a pointer to the NUL-terminated UTF-8 text in lParam;
// the receiver copies the text before it returns.
inline void sendLog(WindowLink& frame, LogLevel level, const std::string& text) {
    frame.send(UM_OUTPUT_LOG, static_cast<std::uintptr_t>(level),
               reinterpret_cast<std::intptr_t>(text.c_str()));
}
