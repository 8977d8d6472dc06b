#pragma once

#include "output/PieceFile.h"
#include "output/SourceFrames.h"

class SplitDocument;

enum OverlapDirection {
    OVERLAP_DIR_BEFORE = 0, // the frames that precede a block
    OVERLAP_DIR_AFTER = 1,  // the frames that follow a block
};

struct Preferences;

// Writes the overlap frames of the block border `frame` into `piece` when the document's overlap
// setting is on (read afresh from its preferences), with its two log lines. Returns the frames written
// (counted also where frames below `inPieceBelow` were already written into the piece, which leaves
// them out here).
int writeOverlapFrames(SplitDocument& doc, OverlapDirection direction, int frame, PieceFile& piece,
                       SourceFrames& frames, int inPieceBelow = 0);

// Where the overlap frames of the block border `frame` begin (before) or end (after) with these
// settings; `frame` itself when overlap is off.
int overlapBefore(const Preferences& preferences, int frame, SourceFrames& frames);
int overlapAfter(const Preferences& preferences, int frame, SourceFrames& frames);
