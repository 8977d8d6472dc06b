#include "output/OverlapFrames.h"

#include "document/SplitDocument.h"
#include "output/FrameCopy.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

// Whole seconds, taken as an unsigned count.
std::uint64_t overlapLimit(const Preferences& preferences) {
    return std::uint64_t{static_cast<std::uint32_t>(preferences.OverlapSecs)} * 1000;
}

} // namespace

int overlapBefore(const Preferences& preferences, int frame, SourceFrames& frames) {
    if (!preferences.Overlap) {
        return frame;
    }
    const std::uint64_t limit = overlapLimit(preferences);
    std::uint64_t sum = 0;
    // Back from the block's own first frame, whose duration counts first, until frame 0.
    int first = frame;
    if (first < frames.count()) {
        while (first > 0 && sum < limit) {
            sum += static_cast<std::uint64_t>(frames[first].durationMs);
            --first;
        }
    }
    return first;
}

int overlapAfter(const Preferences& preferences, int frame, SourceFrames& frames) {
    if (!preferences.Overlap) {
        return frame;
    }
    const std::uint64_t limit = overlapLimit(preferences);
    std::uint64_t sum = 0;
    int end = frame;
    if (limit != 0) {
        do {
            if (end >= frames.count()) {
                break;
            }
            sum += static_cast<std::uint64_t>(frames[end].durationMs);
            ++end;
        } while (sum < limit);
    }
    return end;
}

int writeOverlapFrames(SplitDocument& doc, OverlapDirection direction, int frame, PieceFile& piece,
                       SourceFrames& frames, int inPieceBelow) {
    const Preferences preferences = doc.preferences();
    if (!preferences.Overlap) {
        return 0;
    }
    int written = 0;
    if (direction == OVERLAP_DIR_BEFORE) {
        doc.log(Normal, "Save overlap frames: OVERLAP_DIR_BEFORE ...");
        const int first = overlapBefore(preferences, frame, frames);
        copyFrames(frames, std::max(first, inPieceBelow), frame, piece);
        written = frame > first ? frame - first : 0;
    } else {
        doc.log(Normal, "Save overlap frames: OVERLAP_DIR_AFTER ...");
        const int end = overlapAfter(preferences, frame, frames);
        written = copyFrames(frames, frame, end, piece).frames;
    }
    doc.log(Normal, "Overlap frames has been saved, total frame " + std::to_string(written) + " F");
    return written;
}
