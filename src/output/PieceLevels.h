#pragma once

#include "document/BlockEdits.h"
#include "output/LevelApplier.h"

#include <vector>

// What decides the level of the pieces of one source: the blocks' gains and fades, and the fade at
// every cut of the piece options.
struct PieceLevelSource {
    std::vector<int> blockStarts; // 0, then every cut frame
    int frameCount = 0;
    BlockEdits edits;
    int fadeCutsMs = 0;

    bool changesAny() const;
};

// The level of the piece of source frames [first, end), starting from `format` (an applier that
// changes nothing yet). A block's gain covers its frames in the piece, its fades run over the whole
// block; the fade at every cut runs over the piece's own ends, except the file's start and end.
LevelApplier pieceLevels(LevelApplier format, const PieceLevelSource& source, int first, int end);
