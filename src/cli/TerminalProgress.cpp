#include "cli/TerminalProgress.h"

#include "document/Messages.h"
#include "engine/PlatformFile.h"

#include <algorithm>

TerminalProgress::TerminalProgress() : m_enabled(platform::isTerminal(2)) {}

bool TerminalProgress::follow(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == UM_PROGRESS_SHOW) {
        if (wParam == 0) {
            hide();
        }
        return true;
    }
    if (message == UM_PROGRESS_SET) {
        // Position 0 with a size sets the range; otherwise the position moves.
        if (wParam == 0 && lParam > 0) {
            setRange(lParam);
        } else if (lParam == 0) {
            setPosition(static_cast<std::int64_t>(wParam));
        }
        return true;
    }
    return false;
}

void TerminalProgress::setRange(std::int64_t range) {
    m_range = range;
    setPosition(0);
}

void TerminalProgress::setPosition(std::int64_t position) {
    if (!m_enabled || m_range <= 0) {
        return;
    }
    const auto percent =
        static_cast<int>(std::min<std::int64_t>(100, std::max<std::int64_t>(0, position) * 100 / m_range));
    // Redrawn only when the figure changes: a long file sends about a thousand positions.
    if (percent != m_drawn) {
        draw(percent);
    }
}

void TerminalProgress::draw(int percent) {
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    const int filled = percent * kWidth / 100;
    for (int i = 0; i < kWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    std::fflush(stderr);
    m_drawn = percent;
}

void TerminalProgress::hide() {
    if (m_enabled && m_drawn >= 0) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    m_drawn = -1;
    m_range = 0;
}
