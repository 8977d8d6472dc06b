#pragma once

#include "document/EditedStream.h"

#include <vector>

// A stretch to play, in source frames: from `from` up to, not including, `to`; `to` equal to the frame
// count plays to the end of the file.
struct PlayRange {
    int from = 0;
    int to = 0;
    bool operator==(const PlayRange&) const = default;
};

// How many kept frames of `stream` lie before source frame `frame`: its place in the edited result.
// A removed frame stands where the junction it falls into will be.
int editedPositionOf(const std::vector<EditedRange>& stream, int frame);

// The source frame at place `position` of the edited result; the frame count when the result is shorter.
int sourceFrameAt(const std::vector<EditedRange>& stream, int position, int frameCount);

// Play Around Break Point: from `framesEachSide` kept frames before the break point to as many after
// it, counted along the edited stream, so a removed block in between is skipped rather than counted.
// Empty (from == to) when nothing is kept.
PlayRange playAroundRange(const std::vector<EditedRange>& stream, int frameCount, int breakPoint,
                          int framesEachSide);
