#pragma once

#include "document/BlockEdits.h"

#include <vector>

// One stretch of the edited stream: the source frames [from, to) of a kept block, with its edit (gain
// and fades for the level work; never removed).
struct EditedRange {
    int block = 0; // the block's number, as Save All counts blocks
    int from = 0;
    int to = 0;
    BlockEdit edit;
    bool operator==(const EditedRange&) const = default;
};

// What the edited stream is: the kept blocks in order, one range per block. Two ranges meet without a
// junction where one's `to` is the next one's `from`. Without edits it is one range per block, the
// whole file.
std::vector<EditedRange> editedStream(const std::vector<int>& blockStarts, int frameCount,
                                      const BlockEdits& edits);

// Whether any block is removed.
bool anyRemoved(const BlockEdits& edits);

// The first kept frame at or after `frame`, or the frame count when none is left: where a player
// standing on a removed frame goes on.
int keptFrameFrom(const std::vector<EditedRange>& stream, int frame, int frameCount);

// How many frames the edited stream holds.
int editedFrameCount(const std::vector<EditedRange>& stream);
