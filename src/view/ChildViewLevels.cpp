#include "view/ChildView.h"

#include <cmath>
#include <cstddef>

// The view draws and the player plays what the block edits make of the levels. Both follow the
// edits here, on the GUI thread: every edit repaints the view.

const std::vector<int>& CChildView::shownLevels() {
    if (isLoading()) {
        return m_frameLevels;
    }
    mp3::LevelMap map = levelMap();
    const bool newLevels = m_scaledSource != m_frameLevels.data() || m_scaledSize != m_frameLevels.size();
    if (newLevels || !(map == m_shownMap)) {
        if (!(map == m_shownMap)) {
            m_player.setLevels(map);
        }
        m_shownMap = std::move(map);
        m_scaledLevels.clear();
        if (!m_shownMap.empty()) {
            m_scaledLevels.resize(m_frameLevels.size());
            for (std::size_t f = 0; f < m_frameLevels.size(); ++f) {
                const double factor = m_shownMap.loudestFactor(static_cast<int>(f));
                m_scaledLevels[f] = static_cast<int>(std::lround(m_frameLevels[f] * factor));
            }
        }
        m_scaledSource = m_frameLevels.data();
        m_scaledSize = m_frameLevels.size();
        ++m_shownVersion;
    }
    return m_shownMap.empty() ? m_frameLevels : m_scaledLevels;
}
