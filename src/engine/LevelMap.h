#pragma once

#include "engine/GlobalGain.h"
#include "engine/LevelPlan.h"

#include <cstdint>
#include <vector>

namespace mp3 {

// A stretch of frames with a gain over the whole of it and fades at its ends.
struct LevelRange {
    int first = 0; // frames [first, end)
    int end = 0;
    int gainSteps = 0;
    int fadeInGranules = 0;
    int fadeOutGranules = 0;
    bool operator==(const LevelRange&) const = default;
};

// The change of level of every frame of a file, granule by granule: what goes into the frames'
// global_gain, so also what the view draws and the player plays. A fade falls from the range's gain
// down to the floor (then silence) over its granules; where a fade in and a fade out overlap, their
// steps add up.
class LevelMap {
public:
    // Changes nothing.
    LevelMap() = default;
    // `ranges` must not overlap; ranges that change nothing are dropped.
    LevelMap(const std::vector<LevelRange>& ranges, int granulesPerFrame, double floorDb = kFadeFloorDb);

    bool empty() const { return m_ranges.empty(); }
    bool changes(int frame) const;
    FrameGain gainOf(int frame) const;
    // What the frame's loudest granule is scaled by: 2^(steps/4), 0 when every granule is silent.
    double loudestFactor(int frame) const;
    int granulesPerFrame() const { return m_granulesPerFrame; }

    bool operator==(const LevelMap& other) const {
        return m_granulesPerFrame == other.m_granulesPerFrame && m_floorDb == other.m_floorDb &&
               m_sources == other.m_sources;
    }

private:
    struct Range {
        LevelRange source;
        std::vector<RampStep> fadeIn;
        std::vector<RampStep> fadeOut;
    };
    const Range* rangeOf(int frame) const;
    RampStep granuleStep(const Range& range, int granule) const;

    std::vector<Range> m_ranges; // ascending
    std::vector<LevelRange> m_sources;
    int m_granulesPerFrame = 2;
    double m_floorDb = kFadeFloorDb;
};

// The sample magnitude that is full scale for 16-bit PCM.
inline constexpr double kFullScale = 32768.0;

// The largest sample magnitude of frames [first, end) (cut to the frames of `peaks`, the per-frame
// peaks of the loading scan) after a gain of `steps`; above kFullScale it clips.
double peakAfterGain(const std::vector<std::uint16_t>& peaks, int first, int end, int steps);

// How far `peak` lies above full scale, in dB; 0 or less when it does not clip.
double dbOverFullScale(double peak);

} // namespace mp3
