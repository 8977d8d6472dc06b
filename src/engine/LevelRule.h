#pragma once

#include "engine/GlobalGain.h"
#include "engine/LevelPlan.h"

#include <span>

namespace mp3 {

// A stretch of frames with a gain over the whole of it and fades at its ends.
struct LevelRange {
    int first = 0; // frames [first, end)
    int end = 0;
    int gainSteps = 0;
    int fadeInGranules = 0; // each cut to the granules of the range
    int fadeOutGranules = 0;
    double floorDb = kFadeFloorDb;
    bool operator==(const LevelRange&) const = default;
};

// The one rule of level changes, for the view and the player as for the writers.

// The change of granule `granule` (0 or 1) of frame `frame` by `range`: its gain, plus the fade in
// over its first granules and the fade out over its last; nothing outside the range.
RampStep rangeGranuleStep(const LevelRange& range, int granulesPerFrame, int frame, int granule);

// Whether `range` changes any frame of [from, to): between its fades a range without gain leaves the
// frames alone.
bool rangeChangesFrames(const LevelRange& range, int granulesPerFrame, int from, int to);

// The change of `frame` by every range that holds it: steps add up, and a granule any of them
// silences stays silent. A frame of one granule repeats its change in the second entry.
FrameGain frameGainOf(std::span<const LevelRange> ranges, int granulesPerFrame, int frame);

} // namespace mp3
