#pragma once

#include "document/formats/FrameTimeline.h"

#include <optional>
#include <string>
#include <vector>

// One value of --at as typed: a frame number (a bare integer, or one ending in "f") or a time
// ("62.5s", "1:02.5", "1:02:03.5").
struct BreakPointPosition {
    std::string typed;
    std::optional<int> frame;
    double seconds = 0.0; // when it is a time
};

// One value as typed; empty when it is neither a frame nor a time.
std::optional<BreakPointPosition> parsePosition(const std::string& typed);

// The comma-separated values of --at; empty when one of them is neither a frame nor a time.
std::optional<std::vector<BreakPointPosition>> parsePositions(const std::string& list);

// The frame each position names in a file laid out as `timeline`: a time becomes the frame whose
// start is nearest to it. A position below frame 1 or at or past the end starts no block; those are
// collected, as typed, in `outside` instead.
std::vector<int> positionFrames(const std::vector<BreakPointPosition>& positions,
                                const FrameTimeline& timeline, std::vector<std::string>& outside);
