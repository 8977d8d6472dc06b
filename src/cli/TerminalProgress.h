#pragma once

#include <cstdint>
#include <cstdio>

// A progress bar on stderr, drawn only when stderr is a terminal: a redirected run stays clean.
class TerminalProgress {
public:
    TerminalProgress();
    ~TerminalProgress() { hide(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Follows the main frame's progress messages; false for any other message.
    bool follow(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void setRange(std::int64_t range);
    void setPosition(std::int64_t position);
    // Clears the bar's line.
    void hide();

private:
    void draw(int percent);

    bool m_enabled;
    std::int64_t m_range = 0;
    int m_drawn = -1; // the percentage on screen, -1 when none
};
