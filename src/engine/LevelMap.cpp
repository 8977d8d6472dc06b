#include "engine/LevelMap.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace mp3 {

LevelMap::LevelMap(const std::vector<LevelRange>& ranges, int granulesPerFrame)
    : m_granulesPerFrame(std::clamp(granulesPerFrame, 1, 2)) {
    for (const LevelRange& range : ranges) {
        if (range.end > range.first &&
            (range.gainSteps != 0 || range.fadeInGranules > 0 || range.fadeOutGranules > 0)) {
            m_ranges.push_back(range);
        }
    }
    std::stable_sort(m_ranges.begin(), m_ranges.end(),
                     [](const LevelRange& a, const LevelRange& b) { return a.first < b.first; });
    int reach = std::numeric_limits<int>::min();
    for (const LevelRange& range : m_ranges) {
        reach = std::max(reach, range.end);
        m_reach.push_back(reach);
    }
}

std::span<const LevelRange> LevelMap::rangesNear(int frame) const {
    const auto after = std::upper_bound(m_ranges.begin(), m_ranges.end(), frame,
                                        [](int f, const LevelRange& range) { return f < range.first; });
    // Every range before `from` ends at or before the frame.
    const auto from =
        m_ranges.begin() + (std::upper_bound(m_reach.begin(), m_reach.end(), frame) - m_reach.begin());
    if (from >= after) {
        return {};
    }
    return {from, after};
}

bool LevelMap::changes(int frame) const {
    const std::span<const LevelRange> near = rangesNear(frame);
    return std::any_of(near.begin(), near.end(), [&](const LevelRange& range) {
        return rangeChangesFrames(range, m_granulesPerFrame, frame, frame + 1);
    });
}

FrameGain LevelMap::gainOf(int frame) const {
    return frameGainOf(rangesNear(frame), m_granulesPerFrame, frame);
}

double LevelMap::loudestFactor(int frame) const {
    const std::span<const LevelRange> near = rangesNear(frame);
    if (near.empty()) {
        return 1.0;
    }
    const FrameGain gain = frameGainOf(near, m_granulesPerFrame, frame);
    double loudest = 0.0;
    for (int g = 0; g < m_granulesPerFrame; ++g) {
        const GranuleGain& granule = gain.granules[static_cast<std::size_t>(g)];
        if (!granule.silence) {
            loudest = std::max(loudest, std::exp2(granule.steps[0] / 4.0));
        }
    }
    return loudest;
}

double peakAfterGain(const std::vector<std::uint16_t>& peaks, int first, int end, int steps) {
    const auto size = static_cast<int>(peaks.size());
    first = std::clamp(first, 0, size);
    end = std::clamp(end, first, size);
    const auto begin = peaks.begin() + first;
    const auto stop = peaks.begin() + end;
    const std::uint16_t loudest = begin == stop ? std::uint16_t{0} : *std::max_element(begin, stop);
    return loudest * std::exp2(steps / 4.0);
}

double dbOverFullScale(double peak) {
    if (peak <= 0) {
        return -std::numeric_limits<double>::infinity();
    }
    return 20.0 * std::log10(peak / kFullScale);
}

} // namespace mp3
