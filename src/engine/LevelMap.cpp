#include "engine/LevelMap.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace mp3 {

LevelMap::LevelMap(const std::vector<LevelRange>& ranges, int granulesPerFrame, double floorDb)
    : m_granulesPerFrame(std::clamp(granulesPerFrame, 1, 2)), m_floorDb(floorDb) {
    for (const LevelRange& range : ranges) {
        if (range.end <= range.first ||
            (range.gainSteps == 0 && range.fadeInGranules <= 0 && range.fadeOutGranules <= 0)) {
            continue;
        }
        const int granules = (range.end - range.first) * m_granulesPerFrame;
        Range kept{range, fadeInRamp(std::min(range.fadeInGranules, granules), floorDb),
                   fadeOutRamp(std::min(range.fadeOutGranules, granules), floorDb)};
        m_ranges.push_back(std::move(kept));
        m_sources.push_back(range);
    }
    std::sort(m_ranges.begin(), m_ranges.end(),
              [](const Range& a, const Range& b) { return a.source.first < b.source.first; });
    std::sort(m_sources.begin(), m_sources.end(),
              [](const LevelRange& a, const LevelRange& b) { return a.first < b.first; });
}

const LevelMap::Range* LevelMap::rangeOf(int frame) const {
    const auto after = std::upper_bound(m_ranges.begin(), m_ranges.end(), frame,
                                        [](int f, const Range& range) { return f < range.source.first; });
    if (after == m_ranges.begin()) {
        return nullptr;
    }
    const Range& range = *std::prev(after);
    return frame < range.source.end ? &range : nullptr;
}

bool LevelMap::changes(int frame) const {
    const Range* range = rangeOf(frame);
    if (range == nullptr) {
        return false;
    }
    if (range->source.gainSteps != 0) {
        return true;
    }
    // Between its fades a range without gain leaves the frames alone.
    const auto framesOf = [this](std::size_t granules) {
        return (static_cast<int>(granules) + m_granulesPerFrame - 1) / m_granulesPerFrame;
    };
    return frame - range->source.first < framesOf(range->fadeIn.size()) ||
           range->source.end - frame <= framesOf(range->fadeOut.size());
}

RampStep LevelMap::granuleStep(const Range& range, int granule) const {
    const int granules = (range.source.end - range.source.first) * m_granulesPerFrame;
    RampStep step{range.source.gainSteps, false};
    const auto fadeIn = static_cast<int>(range.fadeIn.size());
    const auto fadeOut = static_cast<int>(range.fadeOut.size());
    if (granule < fadeIn) {
        const RampStep& in = range.fadeIn[static_cast<std::size_t>(granule)];
        step.steps += in.steps;
        step.silence = step.silence || in.silence;
    }
    if (granule >= granules - fadeOut) {
        const RampStep& out = range.fadeOut[static_cast<std::size_t>(granule - (granules - fadeOut))];
        step.steps += out.steps;
        step.silence = step.silence || out.silence;
    }
    return step;
}

FrameGain LevelMap::gainOf(int frame) const {
    FrameGain gain;
    const Range* range = rangeOf(frame);
    if (range == nullptr) {
        return gain;
    }
    for (int g = 0; g < 2; ++g) {
        // A frame of one granule uses only the first entry; the second repeats it.
        const int granule =
            (frame - range->source.first) * m_granulesPerFrame + std::min(g, m_granulesPerFrame - 1);
        const RampStep step = granuleStep(*range, granule);
        GranuleGain& out = gain.granules[static_cast<std::size_t>(g)];
        out.steps = {step.steps, step.steps};
        out.silence = step.silence;
    }
    return gain;
}

double LevelMap::loudestFactor(int frame) const {
    const Range* range = rangeOf(frame);
    if (range == nullptr) {
        return 1.0;
    }
    double loudest = 0.0;
    for (int g = 0; g < m_granulesPerFrame; ++g) {
        const RampStep step = granuleStep(*range, (frame - range->source.first) * m_granulesPerFrame + g);
        if (!step.silence) {
            loudest = std::max(loudest, std::exp2(step.steps / 4.0));
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
