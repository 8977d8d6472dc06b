#include "output/OverlapFrames.h"

#include "document/SplitDocument.h"
#include "output/FrameCopy.h"

#include <algorithm>
#include <cstdint>
#include <string>

std::uint64_t overlapLimitMs(const Preferences& preferences) {
    // Whole seconds; a negative count from an edited file is no overlap rather than a huge one.
    return static_cast<std::uint64_t>(std::max(preferences.OverlapSecs, 0)) * 1000 +
           static_cast<std::uint64_t>(std::clamp(preferences.OverlapExtraMs, 0, 999));
}

FrameRange overlapRange(const SourceFrames& frames, OverlapDirection direction, int frame,
                        std::uint64_t limitMs) {
    std::uint64_t sum = 0;
    if (direction == OVERLAP_DIR_BEFORE) {
        // Back from the block's own first frame, whose duration counts first, until frame 0.
        int first = frame;
        if (first < frames.count()) {
            while (first > 0 && sum < limitMs) {
                sum += static_cast<std::uint64_t>(frames[first].durationMs);
                --first;
            }
        }
        return {first, frame};
    }
    int end = frame;
    if (limitMs != 0) {
        do {
            if (end >= frames.count()) {
                break;
            }
            sum += static_cast<std::uint64_t>(frames[end].durationMs);
            ++end;
        } while (sum < limitMs);
    }
    return {frame, end};
}

int writeOverlapFrames(SplitDocument& doc, OverlapDirection direction, int frame, PieceFile& piece,
                       SourceFrames& frames, int inPieceBelow, LevelApplier* levels) {
    const Preferences preferences = doc.preferences();
    if (!preferences.Overlap) {
        return 0;
    }
    // The user reads this line: words, not the direction's name in the code.
    doc.log(LogLevel::Normal, direction == OVERLAP_DIR_BEFORE ? "Save overlap frames before the block ..."
                                                              : "Save overlap frames after the block ...");
    const FrameRange range = overlapRange(frames, direction, frame, overlapLimitMs(preferences));
    copyFrames(frames, std::max(range.from, inPieceBelow), range.to, piece, levels);
    const int written = std::max(0, std::min(range.to, frames.count()) - range.from);
    doc.log(LogLevel::Normal, "Overlap frames has been saved, total frame " + std::to_string(written) + " F");
    return written;
}
