#pragma once

#include "engine/GlobalGain.h"
#include "engine/LevelPlan.h"
#include "engine/LevelRule.h"

#include <cstdint>
#include <span>
#include <vector>

namespace mp3 {

// The change of level of every frame of a file, granule by granule: what goes into the frames'
// global_gain, so also what the view draws and the player plays. Ranges may overlap: their changes
// add up as the writers add them (engine/LevelRule).
class LevelMap {
public:
    // Changes nothing.
    LevelMap() = default;
    // Ranges that change nothing are dropped.
    LevelMap(const std::vector<LevelRange>& ranges, int granulesPerFrame);

    bool empty() const { return m_ranges.empty(); }
    bool changes(int frame) const;
    FrameGain gainOf(int frame) const;
    // What the frame's loudest granule is scaled by: 2^(steps/4), 0 when every granule is silent.
    double loudestFactor(int frame) const;
    int granulesPerFrame() const { return m_granulesPerFrame; }

    bool operator==(const LevelMap& other) const {
        return m_granulesPerFrame == other.m_granulesPerFrame && m_ranges == other.m_ranges;
    }

private:
    // The ranges that may hold `frame` (and perhaps a few that do not).
    std::span<const LevelRange> rangesNear(int frame) const;

    std::vector<LevelRange> m_ranges; // by first frame
    std::vector<int> m_reach;         // the furthest end of the ranges up to each
    int m_granulesPerFrame = 2;
};

// The sample magnitude that is full scale for 16-bit PCM.
inline constexpr double kFullScale = 32768.0;

// The largest sample magnitude of frames [first, end) (cut to the frames of `peaks`, the per-frame
// peaks of the loading scan) after a gain of `steps`; above kFullScale it clips.
double peakAfterGain(const std::vector<std::uint16_t>& peaks, int first, int end, int steps);

// How far `peak` lies above full scale, in dB; 0 or less when it does not clip.
double dbOverFullScale(double peak);

} // namespace mp3
