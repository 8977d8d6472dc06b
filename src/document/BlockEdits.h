#pragma once

#include "document/DocumentTypes.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

// What the user did to one block beyond placing its break points. The default changes nothing, so a
// document without edits writes and plays exactly as before.
struct BlockEdit {
    bool removed = false;
    // Gain in steps of 1.5 dB: a Layer III granule's global_gain scales it by 2^(steps/4).
    int gainSteps = 0;
    // Fades at the block's start and end, in milliseconds; 0 is none.
    int fadeInMs = 0;
    int fadeOutMs = 0;

    bool isDefault() const { return *this == BlockEdit{}; }
    bool operator==(const BlockEdit&) const = default;
};

// The edits of a document, keyed by the first frame of their block. Only blocks with an edit have an
// entry; a key that is not the first frame of a block means nothing and is dropped by carryBlockEdits.
using BlockEdits = std::map<int, BlockEdit>;

// The frames Save All cuts at: the distinct break points in 1..F-1, ascending.
std::vector<int> cutFramesOf(const BreakPointList& breakPoints, int frameCount);

// The first frame of every block: 0, then the cut frames (the blocks Save All cuts).
std::vector<int> blockStartsOf(const BreakPointList& breakPoints, int frameCount);

// The edit of the block that starts at `first` (the default when it has none).
BlockEdit blockEditAt(const BlockEdits& edits, int first);

// The edits after the block starts changed from `before` to `after`. The rule:
// - A block whose first frame is still a block start keeps its edit. `moved` (old value, new value)
//   is a break point that was dragged or nudged: its block's edit goes with it.
// - A new break point splits a block: both parts keep the edit of the block they were part of, so
//   splitting a removed block leaves both halves removed.
// - A break point that goes merges two blocks: the merged block takes the earlier block's edit, but
//   is removed only when every block it is made of was removed. Deleting a break point therefore
//   never removes frames the user kept.
BlockEdits carryBlockEdits(const BlockEdits& edits, const std::vector<int>& before,
                           const std::vector<int>& after,
                           std::optional<std::pair<int, int>> moved = std::nullopt);
