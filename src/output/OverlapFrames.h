#pragma once

#include "output/PieceFile.h"
#include "output/SourceFrames.h"

#include "settings/Preferences.h"

#include <cstdint>

class SplitDocument;

enum OverlapDirection {
    OVERLAP_DIR_BEFORE = 0, // the frames that precede a block
    OVERLAP_DIR_AFTER = 1,  // the frames that follow a block
};

// Frames [from, to) of the source.
struct FrameRange {
    int from = 0;
    int to = 0;
};

// The overlap setting's length in milliseconds.
std::uint64_t overlapLimitMs(const Preferences& preferences);
// The frames the overlap at block border `frame` covers: those before it back to frame 0, or those
// from it on to the end of the stream, until their durations add up to `limitMs`.
FrameRange overlapRange(const SourceFrames& frames, OverlapDirection direction, int frame,
                        std::uint64_t limitMs);

class LevelApplier;

// Writes the overlap frames of the block border `frame` into `piece` when the document's overlap
// setting is on (read afresh from its preferences), with its two log lines. Returns the frames written,
// counting also those below `inPieceBelow`, which the piece already holds and which are left out here.
// With `levels`, they take the piece's level.
int writeOverlapFrames(SplitDocument& doc, OverlapDirection direction, int frame, PieceFile& piece,
                       SourceFrames& frames, int inPieceBelow = 0, LevelApplier* levels = nullptr);
