#include "document/LoadingLevels.h"

#include "engine/PcmBudget.h"

#include <algorithm>
#include <cstdlib>

LoadingLevels::LoadingLevels()
    : m_chunks(static_cast<std::size_t>(mp3::kMaxIndexedFrames) / kChunkFrames + 1) {}

void LoadingLevels::append(int rawLevel) {
    // The step of mp3::smoothLevels, one frame at a time: the same numbers the finished load shows.
    int level = rawLevel;
    if (m_count > 0) {
        const int larger = std::max(m_previous, level);
        const int limit = static_cast<int>(larger * 0.2);
        if (std::abs(level - m_previous) > limit) {
            level = level > m_previous ? m_previous + limit : m_previous - limit;
        }
        m_previous = level;
        level += static_cast<int>(level / 32767.0 * 5000.0);
    } else {
        m_previous = level;
    }
    const auto at = static_cast<std::size_t>(m_count);
    if (at / kChunkFrames >= m_chunks.size()) {
        return;
    }
    std::unique_ptr<int[]>& chunk = m_chunks[at / kChunkFrames];
    if (!chunk) {
        chunk = std::make_unique<int[]>(kChunkFrames);
    }
    chunk[at % kChunkFrames] = level;
    ++m_count;
    m_published.store(m_count, std::memory_order_release);
}

void LoadingLevels::copyNew(std::vector<int>& levels) const {
    const auto end = static_cast<std::size_t>(published());
    for (std::size_t at = levels.size(); at < end;) {
        const int* chunk = m_chunks[at / kChunkFrames].get();
        const std::size_t stop = std::min(end, (at / kChunkFrames + 1) * kChunkFrames);
        levels.insert(levels.end(), chunk + at % kChunkFrames, chunk + (stop - 1) % kChunkFrames + 1);
        at = stop;
    }
}

void LoadingLevels::clear() {
    m_published.store(0, std::memory_order_relaxed);
    m_count = 0;
    m_previous = 0;
    ++m_generation;
    for (auto& chunk : m_chunks) {
        chunk.reset();
    }
}
