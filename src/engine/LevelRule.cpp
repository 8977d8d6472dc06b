#include "engine/LevelRule.h"

#include <algorithm>

namespace mp3 {

namespace {

int framesOfGranules(int granules, int granulesPerFrame) {
    return (granules + granulesPerFrame - 1) / granulesPerFrame;
}

} // namespace

RampStep rangeGranuleStep(const LevelRange& range, int granulesPerFrame, int frame, int granule) {
    if (frame < range.first || frame >= range.end) {
        return {};
    }
    const int granules = (range.end - range.first) * granulesPerFrame;
    const int index = (frame - range.first) * granulesPerFrame + std::min(granule, granulesPerFrame - 1);
    RampStep step{range.gainSteps, false};
    const int fadeIn = std::min(range.fadeInGranules, granules);
    if (index < fadeIn) {
        const RampStep in = fadeInStep(fadeIn, index, range.floorDb);
        step.steps += in.steps;
        step.silence = step.silence || in.silence;
    }
    const int fadeOut = std::min(range.fadeOutGranules, granules);
    if (fadeOut > 0 && index >= granules - fadeOut) {
        const RampStep out = fadeOutStep(fadeOut, index - (granules - fadeOut), range.floorDb);
        step.steps += out.steps;
        step.silence = step.silence || out.silence;
    }
    return step;
}

bool rangeChangesFrames(const LevelRange& range, int granulesPerFrame, int from, int to) {
    const auto overlaps = [from, to](int first, int end) { return first < end && first < to && from < end; };
    if (range.gainSteps != 0) {
        return overlaps(range.first, range.end);
    }
    const int granules = (range.end - range.first) * granulesPerFrame;
    const int fadeIn = framesOfGranules(std::clamp(range.fadeInGranules, 0, granules), granulesPerFrame);
    const int fadeOut = framesOfGranules(std::clamp(range.fadeOutGranules, 0, granules), granulesPerFrame);
    return overlaps(range.first, range.first + fadeIn) || overlaps(range.end - fadeOut, range.end);
}

FrameGain frameGainOf(std::span<const LevelRange> ranges, int granulesPerFrame, int frame) {
    FrameGain gain;
    for (const LevelRange& range : ranges) {
        if (frame < range.first || frame >= range.end) {
            continue;
        }
        for (int g = 0; g < 2; ++g) {
            const RampStep step = rangeGranuleStep(range, granulesPerFrame, frame, g);
            GranuleGain& out = gain.granules[static_cast<std::size_t>(g)];
            out.steps[0] += step.steps;
            out.steps[1] += step.steps;
            out.silence = out.silence || step.silence;
        }
    }
    return gain;
}

} // namespace mp3
